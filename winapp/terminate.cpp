// The end of a program that meets an error it cannot handle. libstdc++'s own handler prints the
// exception's type through its name demangler, a third of a small program's size, to a console
// that a windowed program does not have; this one ends the process the same way without it.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
