// The two functions of glibc newer than 2.34 that a program built against
// glibc 2.36 (Debian 12) takes in through the static libstdc++ and libgcc it
// carries: std::random_device calls arc4random (2.36), and the unwinder that
// finds a frame's exception tables calls _dl_find_object (2.35). Defined in
// the program itself, they bind there at link time, and the program needs no
// glibc past 2.34: Ubuntu 22.04 and Linux Mint 21 play it. Built only into a
// release made in Debian 12 (TARNIX_GLIBC_2_34).

#include <dlfcn.h>
#include <link.h>
#include <stdlib.h>
#include <sys/random.h>

#include <algorithm>
#include <cstdint>

#if !defined(__GLIBC__) || !__GLIBC_PREREQ(2, 36)
#error "the glibc 2.34 stand-ins are for a build against glibc 2.36 or newer"
#endif

namespace {

// The object holding `address`, as dl_iterate_phdr shows the loaded ones.
struct Search {
    std::uintptr_t address;
    dl_find_object* found;
};

int inspectObject(dl_phdr_info* object, std::size_t, void* data) {
    auto* search = static_cast<Search*>(data);
    std::uintptr_t start = UINTPTR_MAX, end = 0;
    void* exceptionTables = nullptr;
    bool holdsAddress = false;
    for (int i = 0; i < object->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = object->dlpi_phdr[i];
        const std::uintptr_t from = object->dlpi_addr + segment.p_vaddr;
        if (segment.p_type == PT_LOAD) {
            start = std::min(start, from);
            end = std::max(end, from + segment.p_memsz);
            holdsAddress = holdsAddress || (search->address >= from && search->address < from + segment.p_memsz);
        } else if (segment.p_type == PT_GNU_EH_FRAME) {
            exceptionTables = reinterpret_cast<void*>(from);
        }
    }
    if (!holdsAddress)
        return 0;
    *search->found = dl_find_object{};
    search->found->dlfo_map_start = reinterpret_cast<void*>(start);
    search->found->dlfo_map_end = reinterpret_cast<void*>(end);
    search->found->dlfo_eh_frame = exceptionTables;
    return 1;
}

}  // namespace

// As glibc's: 0 with the object's extent and exception tables (its link map
// left null: the unwinder reads the tables only), -1 for an address no loaded
// object holds.
int _dl_find_object(void* address, dl_find_object* result) noexcept {
    Search search = {reinterpret_cast<std::uintptr_t>(address), result};
    return dl_iterate_phdr(inspectObject, &search) == 1 ? 0 : -1;
}

// Random bits from the kernel, as glibc's arc4random takes them.
std::uint32_t arc4random() noexcept {
    std::uint32_t value = 0;
    while (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
    }
    return value;
}
