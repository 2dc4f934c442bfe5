// image-check.h: the checks a boot image passes before the build takes it, run in a fresh
// runtime of their own: a child process of the generator, started as the program starts.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace qel::bootgen {

// Prints the generator's failure and ends the process with status 1.
[[noreturn]] void fail(const std::string& message);

// In this process: starts the runtime from the image as start-up does, then requires one
// literal per module, the same bytes when the literals are encoded again, a boot that ends,
// and the boot check of the library's words (the allow-list's words may stay unset). Answers
// the process status: 0 when every check passed, else 1 after printing what failed.
int check_image(const std::string& image_file, const std::string& allow_list, std::span<const std::string> paths,
                int argc, char** argv);

// Runs check_image in a child process of this program and answers whether it passed.
bool image_passes(const std::string& image_file, const std::string& allow_list, std::span<const std::string> paths);

}  // namespace qel::bootgen
