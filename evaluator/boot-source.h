// boot-source.h: the library's modules in source form: each module's path and its UTF-8 text,
// in the order start-up evaluates them. The image generator reads them from the source tree
// as the manifests list them and loads them into the blocks the boot image holds.
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

struct BootModule {
  std::string_view path;  // from the source root, as the manifest lists it
  std::string_view text;
};

// The modules' paths, in their order.
std::vector<std::string_view> module_paths(std::span<const BootModule> modules);

// A source that cannot become part of the image: the message names the file and the line or
// byte offset.
struct BootSourceError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The whole content of a file, byte for byte; BootSourceError naming it as `shown` when it
// cannot be read.
std::string boot_file_text(const std::string& file, const std::string& shown);

// The text of a source file (a manifest, a module, the allow-list of unset words): as
// boot_file_text, and BootSourceError also when it is not strict UTF-8 or a line of it is a
// merge's conflict marker (a conflict left in would build both sides).
std::string boot_source_text(const std::string& file, const std::string& shown);

// The modules the manifests list, in order.
struct BootSources {
  std::vector<std::string> paths;  // from the source root
  std::vector<std::string> texts;
  std::vector<std::string> files_read;  // the manifests and modules as opened
  std::vector<BootModule> modules() const;
};

// Reads the manifests in the order given: each lists files relative to its own folder, one a
// line; blank lines and lines starting with ";" pass over. Raises BootSourceError on a missing
// manifest or file, or one that boot_source_text refuses.
BootSources read_boot_sources(const std::string& root, std::span<const std::string> manifests);

// Loads each module's text with the lexer and answers the boot image: the language's
// definitions (the native and action words), then the blocks. A syntax error raises
// BootSourceError with the module's path and the lexer's message (its line).
std::vector<uint8_t> boot_image_from_sources(std::span<const BootModule> modules);

}  // namespace qel
