// The C header as a C++ program includes it: its names and status texts.
#include <cstring>

#include "capi/scrivlet_emf.h"

int main() {
    scrivlet_emf* emf = nullptr;
    const scrivlet_emf_status status = scrivlet_emf_open_memory(nullptr, 1, &emf);
    const bool ok = status == SCRIVLET_EMF_ERROR_ARGUMENT && emf == nullptr &&
                    std::strcmp(scrivlet_emf_status_text(SCRIVLET_EMF_OK), "no error") == 0 &&
                    std::strlen(scrivlet_emf_last_error()) > 0;
    return ok ? 0 : 1;
}
