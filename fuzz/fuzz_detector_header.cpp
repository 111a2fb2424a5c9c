// Feeds arbitrary bytes to the header test of detector recordings, and the
// texts it finds to the date rules, the new names and the export text.
#include "detectorfiles/DetectorFileCopy.h"
#include "detectorfiles/DetectorFileInfo.h"
#include "detectorfiles/DetectorFileList.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    DetectorFileInfo info = examineDetectorHeader(data, size);
    info.path = "/folder/name.wav";
    if (info.isDetectorFile != info.skipReason.empty())
        std::abort();
    // The file time as any text, also when the header test fails.
    const std::string anyTime(reinterpret_cast<const char*>(data), size < 40 ? size : 40);
    for (const std::string& t : {info.rawFileTime, anyTime}) {
        (void)detectorRecordedDate(t);
        const std::string part = detectorDatePart(t);
        const std::string name = DetectorFileCopy::targetName("/folder/name.wav", {true, t, t}, part);
        if (name.find('/') != std::string::npos || name == "." || name == "..")
            std::abort();
    }
    const DetectorFileList::Table table = {DetectorFileList::rowTexts(info)};
    (void)DetectorFileList::tableText(table, ',', "\r\n");
    return 0;
}
