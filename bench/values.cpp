// Value natives against Python 3 on the same work: compose/deep over 10^6 cells with a paren
// (a function call) in every tenth against a list comprehension calling a function every tenth
// element, unique of 10^6 random integers against list(dict.fromkeys(x)), and enbase and debase
// of 16 MB called as natives against base64.b64encode and b64decode.
#include "bench/qel-python-programs.h"  // first: it includes Python.h


namespace qel {
namespace {

using bench_support::QelPythonProgram;

constexpr QelPythonProgram kPrograms[] = {
    {"compose-deep-1M", "f: func [] [1] b: make block! 1000000 loop 100000 [append b [1 2 3 4 5 6 7 8 9 (f)]]",
     "compose/deep b", "def f():\n    return 1\nx = list(range(1000000))\n",
     "[f() if i % 10 == 9 else v for i, v in enumerate(x)]\n"},
    {"unique-1M", "b: make block! 1000000 loop 1000000 [append b random 1000000000]", "unique b",
     "import random\nrandom.seed(1)\nx = [random.randrange(1000000000) for _ in range(1000000)]\n",
     "list(dict.fromkeys(x))\n"},
    {"enbase-16MB", "bin: append/dup make binary! 16777216 #{0123456789ABCDEF} 2097152", "enbase bin",
     "import base64\nx = bytes.fromhex('0123456789ABCDEF') * 2097152\n", "base64.b64encode(x)\n"},
    {"debase-16MB", "text: enbase append/dup make binary! 16777216 #{0123456789ABCDEF} 2097152", "debase text",
     "import base64\nx = base64.b64encode(bytes.fromhex('0123456789ABCDEF') * 2097152)\n", "base64.b64decode(x)\n"},
};

const bool registered = bench_support::register_qel_python_programs(kPrograms);

}  // namespace
}  // namespace qel
