#include "CliCommands.h"
#include "CliInputs.h"
#include "CliSupport.h"
#include "ZcCli.h"
#include "core/NumberText.h"

#include "document/CVesSoundDoc.h"
#include "records/GuanoRecord.h"
#include "soundfiles/VesFileType.h"

#include <cstdio>
#include <string>

namespace {

std::string chunkText(const ForeignChunk& c)
{
    std::string text(c.bytes.begin(), c.bytes.end());
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

bool printable(const ForeignChunk& c)
{
    for (unsigned char ch : chunkText(c))
        if (ch < 0x20 && ch != '\n' && ch != '\r' && ch != '\t')
            return false;
    return true;
}

void printText(const char* label, const std::string& value)
{
    if (!value.empty())
        vkit::printfC("  %-15s %s\n", label, value.c_str());
}

void describeText(const CVesSoundDoc& doc, const std::string& file)
{
    const SoundFormat& f = doc.format();
    const VesRecData& r = doc.recData();
    const std::int64_t frames = doc.lengthFrames();
    vkit::printfC("%s\n", file.c_str());
    vkit::printfC("  %-15s %s\n", "type:", doc.typeName().c_str());
    vkit::printfC("  %-15s %u Hz, %d bit, %d channel%s\n", "format:", f.samplesPerSec, f.bitsPerSample, f.channels,
                f.channels == 1 ? "" : "s");
    vkit::printfC("  %-15s %lld\n", "frames:", static_cast<long long>(frames));
    vkit::printfC("  %-15s %.6f s (file %.6f s)\n", "duration:", static_cast<double>(doc.framesToRealMicros(frames)) / 1e6,
                static_cast<double>(doc.framesToFileMicros(frames)) / 1e6);
    vkit::printfC("  %-15s %g\n", "time expansion:", doc.timeExpansion() / 1000.0);
    printText("recorded by:", r.m_by);
    printText("recorded at:", r.m_at);
    printText("date:", r.m_date);
    printText("time:", r.m_time);
    printText("rec. date:", r.m_recDate);
    printText("rec. device:", r.m_recDev);
    printText("modified:", r.m_modTime);
    printText("user:", r.m_user);
    for (const auto& line : r.m_extraData)
        printText("extra:", line);
    printText("detector:", doc.detectorDescription());
    if (!doc.marks().empty()) {
        vkit::printfC("  %-15s %zu\n", "marks:", doc.marks().size());
        for (const auto& m : doc.marks())
            vkit::printfC("    #%d at frame %lld (%.6f s)%s%s\n", m.m_markNr, static_cast<long long>(m.m_posX),
                        static_cast<double>(doc.framesToRealMicros(m.m_posX)) / 1e6, m.m_label.empty() ? "" : ": ",
                        m.m_label.c_str());
    }
    for (const auto& c : doc.foreignChunks()) {
        vkit::printfC("  chunk '%s':%*s %zu bytes\n", c.id.c_str(), static_cast<int>(8 - c.id.size()), "", c.bytes.size());
        if (c.id == "guan") {
            GuanoRecord g;
            std::string error, warning;
            if (!GuanoRecord::parse(c.bytes, g, error, &warning)) {
                vkit::printfC("    (%s)\n", error.c_str());
                continue;
            }
            if (!warning.empty())
                vkit::printfC("    (%s)\n", warning.c_str());
            printGuanoFields(g);
        }
    }
}

void describeJson(const CVesSoundDoc& doc, const std::string& file, bool first)
{
    const SoundFormat& f = doc.format();
    const VesRecData& r = doc.recData();
    const std::int64_t frames = doc.lengthFrames();
    vkit::printfC("%s  {\"file\": %s, \"type\": %s, \"type_code\": %d, \"rate_hz\": %u, \"bits\": %d, \"channels\": %d,\n",
                first ? "" : ",\n", jsonString(file).c_str(), jsonString(doc.typeName()).c_str(), doc.saveType(),
                f.samplesPerSec, f.bitsPerSample, f.channels);
    vkit::printfC("   \"frames\": %lld, \"duration_s\": %.6f, \"file_duration_s\": %.6f, \"time_expansion\": %g,\n",
                static_cast<long long>(frames), static_cast<double>(doc.framesToRealMicros(frames)) / 1e6,
                static_cast<double>(doc.framesToFileMicros(frames)) / 1e6, doc.timeExpansion() / 1000.0);
    vkit::printfC("   \"record\": {\"by\": %s, \"at\": %s, \"date\": %s, \"time\": %s, \"rec_date\": %s, \"rec_device\": %s, "
                "\"modified\": %s, \"user\": %s, \"extra\": [",
                jsonString(r.m_by).c_str(), jsonString(r.m_at).c_str(), jsonString(r.m_date).c_str(),
                jsonString(r.m_time).c_str(), jsonString(r.m_recDate).c_str(), jsonString(r.m_recDev).c_str(),
                jsonString(r.m_modTime).c_str(), jsonString(r.m_user).c_str());
    for (size_t i = 0; i < r.m_extraData.size(); ++i)
        vkit::printfC("%s%s", i ? ", " : "", jsonString(r.m_extraData[i]).c_str());
    vkit::printfC("]},\n   \"detector\": %s,\n   \"marks\": [", jsonString(doc.detectorDescription()).c_str());
    for (size_t i = 0; i < doc.marks().size(); ++i) {
        const auto& m = doc.marks()[i];
        vkit::printfC("%s{\"number\": %d, \"frame\": %lld, \"time_s\": %.6f, \"label\": %s}", i ? ", " : "", m.m_markNr,
                    static_cast<long long>(m.m_posX), static_cast<double>(doc.framesToRealMicros(m.m_posX)) / 1e6,
                    jsonString(m.m_label).c_str());
    }
    vkit::printfC("],\n   \"chunks\": [");
    for (size_t i = 0; i < doc.foreignChunks().size(); ++i) {
        const auto& c = doc.foreignChunks()[i];
        vkit::printfC("%s{\"id\": %s, \"bytes\": %zu", i ? ", " : "", jsonString(c.id).c_str(), c.bytes.size());
        if (c.id == "guan" && printable(c))
            vkit::printfC(", \"text\": %s", jsonString(chunkText(c)).c_str());
        vkit::printfC("}");
    }
    vkit::printfC("]");
    // The GUANO fields as an object, keys with their namespaces; a repeated
    // key keeps its first value here (every copy stays in the chunk).
    GuanoRecord g;
    std::string error;
    if (doc.guano(g, error)) {
        vkit::printfC(",\n   \"guano\": {");
        bool firstField = true;
        for (const auto& field : g.fields()) {
            if (field.key.empty() || g.find(field.key) != &field.value)
                continue;
            vkit::printfC("%s%s: %s", firstField ? "" : ", ", jsonString(field.key).c_str(),
                          jsonString(field.value).c_str());
            firstField = false;
        }
        vkit::printfC("}");
        if (g.encoding() == GuanoEncoding::Windows1252)
            vkit::printfC(",\n   \"guano_encoding\": \"windows-1252\"");
    } else if (!error.empty()) {
        vkit::printfC(",\n   \"guano_error\": %s", jsonString(error).c_str());
    }
    vkit::printfC("}");
}

}  // namespace

const CommandSpec& cmdInfoSpec()
{
    static const CommandSpec spec{
        "info",
        "describe recordings: type, format, length, records, marks, metadata",
        {"[--json] [--recursive] IN..."},
        "Describes each recording as the program opens it: file type, sound format,\n"
        "frames, duration in real time, time expansion, the recording record's texts,\n"
        "the marks, a detector header and the metadata chunks kept with the samples\n"
        "(GUANO shown field by field). A FILE may end in a type tag such as\n"
        "\" [Vesperon Wave]\" to open it as that type. A folder stands for its\n"
        "recordings (.wav, .vprd) and zero-crossing files (.zc, extensions ending\n"
        "in #), sorted by name.\n\n"
        "A zero-crossing file (Anabat types 129 to 132, known by its content) is\n"
        "described by its dots (with their statuses), length, division ratio, time\n"
        "resolution, frequency range, start time, header texts, ID, GPS text and\n"
        "GUANO fields.\n",
        {
            {.name = "json", .help = "one JSON object per file, in an array"},
            recursiveOption(),
        },
        "Exit status 1 when any file cannot be read or a folder holds no recordings.\n"};
    return spec;
}

int cmdInfo(const CliArgs& args)
{
    const CommandSpec& spec = cmdInfoSpec();
    ParsedArgs parsed;
    if (!parseOrComplain(spec, args, parsed))
        return 2;
    const bool json = parsed.has("json");
    if (parsed.operands.empty())
        return usageError(spec, "give one or more recordings or folders (see --help)");
    const RecordingInputs inputs = expandRecordingInputs(spec.name, parsed.operands, parsed.has("recursive"), true);
    const std::vector<std::string>& files = inputs.files;
    if (files.empty())
        return 1;  // said why
    int status = inputs.ok ? 0 : 1;
    bool first = true;
    if (json)
        vkit::printfC("[\n");
    for (const auto& file : files) {
        if (zcfile::isZcPath(file)) {
            zcfile::ZcFile zc;
            if (!readZcOrComplain(spec.name, file, zc)) {
                status = 1;
                continue;
            }
            if (json)
                describeZcJson(zc, file, first);
            else
                describeZcText(zc, file);
            first = false;
            continue;
        }
        CliDocHost host(file);
        CVesSoundDoc doc(host, userDefaults());
        if (!doc.open(file)) {
            status = 1;
            continue;
        }
        if (json) {
            describeJson(doc, file, first);
            first = false;
        } else {
            describeText(doc, file);
        }
    }
    if (json)
        vkit::printfC("\n]\n");
    return status;
}
