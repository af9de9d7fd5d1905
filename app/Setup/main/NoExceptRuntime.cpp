// The C++ runtime's failure paths for Setup.exe, which is built without exceptions.
//
// The program throws and catches nothing itself, and the Win32 adapters ask the heap for
// their data-sized buffers without throwing (win32::HeapBuffer). Everything else that can
// fail inside the C++ library - an allocation, a length beyond max_size(), an index out of
// range - used to throw an exception that nobody caught, so std::terminate ended the process
// through abort(). These definitions take the place of the library's throwing ones and end
// the process the same way, straight away. Linked this way, the program carries neither the
// exception runtime nor its unwinder, its unwind tables, the exception classes or the
// library's name demangler (which only its terminate handler needed).
//
// Each definition replaces one of the library's: operator new and delete in all their forms,
// and every std::__throw_* helper the library's headers call. A helper missing here would
// bring the library's own (with the exception machinery) back and clash with these at link
// time, so the set is complete rather than just what the program calls today.
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

[[noreturn]] void OutOfMemory() {
    std::abort();
}

[[noreturn]] void LibraryFailure() {
    std::abort();
}

void* Allocate(std::size_t size) {
    return std::malloc(size != 0 ? size : 1);
}

}  // namespace

void* operator new(std::size_t size) {
    void* p = Allocate(size);
    if (p == nullptr)
        OutOfMemory();
    return p;
}

void* operator new[](std::size_t size) {
    return ::operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete[](void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace std {

void __throw_bad_exception() {
    LibraryFailure();
}
void __throw_bad_alloc() {
    OutOfMemory();
}
void __throw_bad_array_new_length() {
    OutOfMemory();
}
void __throw_bad_cast() {
    LibraryFailure();
}
void __throw_bad_typeid() {
    LibraryFailure();
}
void __throw_logic_error(const char*) {
    LibraryFailure();
}
void __throw_domain_error(const char*) {
    LibraryFailure();
}
void __throw_invalid_argument(const char*) {
    LibraryFailure();
}
void __throw_length_error(const char*) {
    LibraryFailure();
}
void __throw_out_of_range(const char*) {
    LibraryFailure();
}
void __throw_out_of_range_fmt(const char*, ...) {
    LibraryFailure();
}
void __throw_runtime_error(const char*) {
    LibraryFailure();
}
void __throw_range_error(const char*) {
    LibraryFailure();
}
void __throw_overflow_error(const char*) {
    LibraryFailure();
}
void __throw_underflow_error(const char*) {
    LibraryFailure();
}

}  // namespace std
