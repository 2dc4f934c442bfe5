// The library's path functions against Python 3's posixpath on the same 100,000 paths, in the
// same run: clean-path against normpath, split-path against split. Both sides are interpreted;
// the ratio says whether the path functions want a native core.
#include "bench/qel-python-programs.h"

namespace qel {
namespace {

constexpr const char* kQelSetup =
    "paths: make block! 100000 "
    "repeat i 100000 [append paths to file! rejoin [%/usr/ i // 97 %/./lib/../share/ i %/file.txt]]";
constexpr const char* kPythonSetup =
    "import posixpath\n"
    "paths = ['/usr/%d/./lib/../share/%d/file.txt' % (i % 97, i) for i in range(1, 100001)]\n";

constexpr bench_support::QelPythonProgram kPrograms[] = {
    {"clean-path-100k", kQelSetup, "foreach p paths [clean-path p]", kPythonSetup,
     "for p in paths: posixpath.normpath(p)\n", true},
    {"split-path-100k", kQelSetup, "foreach p paths [split-path p]", kPythonSetup,
     "for p in paths: posixpath.split(p)\n", true},
};

const bool registered = bench_support::register_qel_python_programs(kPrograms);

}  // namespace
}  // namespace qel
