// The window program throws nothing, but the FFT of its measurement (Eigen's kissfft) keeps its
// plans in standard containers, and their allocation and length checks would link the C++
// library's exceptions: its throw helpers, std::string, the exception classes, the unwinder
// and the threads library under them, some 100 KB of a program that budgets every kilobyte.
// Here those few entry points end the program instead, as an exception that nothing catches
// would: operator new is replaceable by the language's own rules (its nothrow form too, which
// the library's own would wrap in a catch), and the two helpers are the only ones the FFT's
// code calls.
#include <cstdlib>
#include <new>

void *operator new(std::size_t size) {
    void *block = std::malloc(size ? size : 1);
    if (!block)
        std::abort();
    return block;
}

void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    return std::malloc(size ? size : 1);
}

namespace std {
void __throw_length_error(const char *) {
    std::abort();
}
void __throw_bad_array_new_length() {
    std::abort();
}
} // namespace std
