// How the C++ library reports its own errors in Tovik.exe.
//
// The library's versions of these build std::logic_error and friends from reference-counted
// strings, which drags a second copy of the string code and its unwind tables into the
// program file: a sixth of its size, for errors that cannot happen here. Running out of memory
// still throws std::bad_alloc, which the window procedures catch; every other one of these
// would be a plain bug (a substring past the end, an empty std::function called), and the
// program ends at once rather than going on with a broken state.
#include <cstdlib>
#include <new>

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char*) { throw bad_alloc(); }

void __throw_bad_cast() { abort(); }
void __throw_bad_typeid() { abort(); }
void __throw_bad_exception() { abort(); }
void __throw_bad_function_call() { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_domain_error(const char*) { abort(); }
void __throw_invalid_argument(const char*) { abort(); }
void __throw_out_of_range(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_runtime_error(const char*) { abort(); }
void __throw_range_error(const char*) { abort(); }
void __throw_overflow_error(const char*) { abort(); }
void __throw_underflow_error(const char*) { abort(); }

}  // namespace std

// The library's own end for an exception that nobody catches prints the exception's demangled
// type to a console this program never has; the demangler and its printf would take another
// third of the program file. Nothing is thrown past Run, and if it ever were, ending at once
// is all that is left to do.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
