// The record being read: filled by the element readers, reported and
// released at the record's closing tag.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelreport {

struct Record {
    std::optional<std::string> nomvar, typvar, etiket, grtyp;
    // The values text itself is never reported, so only the converted
    // numbers are kept: one entry per token.
    bool has_floatdata = false;
    std::vector<float> floatdata;
    bool has_intdata = false;
    std::vector<std::int32_t> intdata;

    // Integer fields live for the whole run and are never reset.
    std::int32_t ip1 = 0, ip2 = 0, ip3 = 0, ni = 0, nj = 0, nk = 0;
    std::int32_t dateo = 0, deet = 0, npas = 0, ig1 = 0, ig2 = 0, ig3 = 0, ig4 = 0;
    std::int32_t nbits = 0, datyp = 0, swa = 0, lng = 0, npak = 0;
    // Read and dropped, or never read: always reported as 0.
    std::int32_t dltf = 0, ubc = 0, extra1 = 0, extra2 = 0, extra3 = 0, iun = 0;

    // Releases the per-record storage: texts, values and both arrays.
    void ReleaseData();
};

}  // namespace zelreport
