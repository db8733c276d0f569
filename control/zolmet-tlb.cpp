// zolmet-tlb FILE: writes the control's type library as the bytes of its
// "TYPELIB" resource (used by the build).
#include <cstdio>
#include <fstream>

#include "Zolmet_TLB.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zolmet-tlb FILE\n");
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << com::SaveTypeLib(control::Zolmet_TLB::ZolmetTypeLib());
  return out ? 0 : 1;
}
