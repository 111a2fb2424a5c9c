// Feeds arbitrary bytes to the classifier model file reader; a model that
// reads is written again and must give the same bytes.
#include "classify/ModelFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    classify::ClassifierModel m;
    std::string error;
    if (classify::readModelBytes(bytes, m, error)) {
        classify::ClassifierModel back;
        if (!classify::readModelBytes(classify::writeModelBytes(m), back, error) ||
            classify::writeModelBytes(back) != classify::writeModelBytes(m))
            std::abort();
    } else if (error.empty()) {
        std::abort();  // a refusal always says why
    }
    return 0;
}
