// The species classifier's reads of a project (declared in their own block
// at the end of Project.h).
#include "project/Project.h"

void forEachRecordingCallsWithLabels(
    Project& project,
    const std::function<void(const RecordingRow&, const std::vector<CallMeasures>&, const std::vector<CallIdentity>&)>&
        fn)
{
    // Same order as forEachRecordingCalls reads the calls in, so the rows pair up.
    sql::Stmt ids(project.db(), "SELECT c.id, i.manual_label FROM calls c LEFT JOIN identifications i ON i.call = c.id"
                                " WHERE c.recording = ?1 ORDER BY c.number, c.id");
    std::vector<CallIdentity> list;
    project.forEachRecordingCalls([&](const RecordingRow& row, const std::vector<CallMeasures>& calls) {
        list.clear();
        ids.bind(1, row.id);
        while (ids.step())
            list.push_back({ids.i64(0), ids.isNull(1) ? std::string() : ids.text(1)});
        ids.reset();
        if (list.size() != calls.size())
            throw ProjectError(ProjectError::Kind::Other, "the calls of " + row.path + " changed while they were read");
        fn(row, calls, list);
    });
}
