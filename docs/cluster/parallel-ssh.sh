#!/bin/bash
# A season's calls on a few machines with GNU parallel over ssh, then the merge.
#
#   docs/cluster/parallel-ssh.sh /shared/season2026.vproj 64 node1,node2,node3
#
# Every machine must see the project and the recordings at the same path and
# have vesperon-cli on its PATH. Shards that fail (a machine went away) are
# retried on another machine; whatever still fails is run again by starting
# this script again: shards already written are not analysed twice.
set -euo pipefail
project=${1:?give the project file}
shards=${2:-64}
hosts=${3:?give the machines, separated by commas}
seq 0 $((shards - 1)) |
  parallel --retries 3 -S "$hosts" --jobs 1 \
    vesperon-cli project calls "$project" --shard {}/"$shards" --jobs 2
vesperon-cli project merge "$project"
