// Feeds arbitrary bytes to the merge as a shard file beside a project: shard
// files come from other machines and may be cut short or damaged on the way.
// Whatever the bytes, the merge either imports rows that fit the project or
// throws ProjectError; the project stays a project.
#include "project/Project.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string dir = [] {
        char tmpl[] = "/tmp/fuzz-shard-XXXXXX";
        const char* made = ::mkdtemp(tmpl);
        if (!made)
            std::abort();
        return std::string(made);
    }();
    const std::string project = dir + "/p.vproj";
    std::remove(project.c_str());
    std::remove((project + "-wal").c_str());
    std::remove((project + "-shm").c_str());
    auto p = Project::create(project);
    // The recording of the seed shard (corpus/fuzz_shard_file), so that
    // mutations of it reach the import of calls and not only the checks.
    p->putRecording(RecordingRow{.id = 0, .path = "a.wav", .size = 153646, .mtime = 1797005819,
                                 .hash = "335c43c2f69f8c2c"});
    const std::string shard = shardFilePath(project, {0, 1});
    if (std::FILE* f = std::fopen(shard.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    try {
        mergeCallShards(*p, project);
    } catch (const ProjectError&) {
    }
    std::remove(shard.c_str());
    // Whatever was imported, the project holds its one recording and reads
    // back every call it counts.
    std::int64_t calls = 0;
    p->forEachRecordingCalls([&](const RecordingRow&, const std::vector<CallMeasures>& list) {
        calls += static_cast<std::int64_t>(list.size());
    });
    const ProjectStatus st = p->status();
    if (st.recordings != 1 || st.calls != calls)
        std::abort();
    return 0;
}
