// The conformance checks every COM class's tests make, in the Wine style:
// exact reference counts, every answered interface leading back to one
// object, refused interfaces with their out-parameter nulled, and a
// library's exports by ordinal.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <initializer_list>

namespace kadrix::test {

// The object's reference count, left as it was.
ULONG RefCount(IUnknown* object);

// Each of `answered` is answered with one more reference while it is held and
// leads back to `object` as its IUnknown; each of `refused` is E_NOINTERFACE
// with the out-parameter nulled; a null out-parameter is E_POINTER. The count
// ends where it began.
void ExpectInterfaces(IUnknown* object, std::initializer_list<IID> answered,
                      std::initializer_list<IID> refused);

// The four server exports, each reachable by its ordinal (1 to 4) as the
// library's .def gives them.
void ExpectServerExportsByOrdinal(HMODULE library);

} // namespace kadrix::test
