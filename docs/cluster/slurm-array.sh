#!/bin/bash
# A season's calls on a Slurm cluster: one job array of shards, then the merge.
#
#   sbatch docs/cluster/slurm-array.sh /shared/season2026.vproj 256
#
# The project, its recordings and vesperon-cli must be on a file system every
# node sees at the same path. Each array task analyses its fixed part of the
# pending recordings and writes PROJECT.shard-I-of-N beside the project (whole
# or not at all); the merge job starts when every task has ended and imports
# them. Tasks that died (node lost, time limit) are simply run again:
#   sbatch --array=17,203 docs/cluster/slurm-array.sh /shared/season2026.vproj 256
# then merge once more (N stays the same: it is given, not the array's size). The result does not depend on N or on --jobs.
#SBATCH --job-name=vesperon-calls
#SBATCH --array=0-255
#SBATCH --cpus-per-task=2
#SBATCH --time=02:00:00
#SBATCH --output=vesperon-calls-%A_%a.log
set -euo pipefail
project=${1:?give the project file}
shards=${2:-256}
vesperon-cli project calls "$project" --shard "$SLURM_ARRAY_TASK_ID/$shards" --jobs "${SLURM_CPUS_PER_TASK:-1}"
# The last task to finish is not known here: the merge is its own job,
#   sbatch --dependency=afterany:$SLURM_ARRAY_JOB_ID --wrap "vesperon-cli project merge $project"
# or, in one line from the login node:
#   jid=$(sbatch --parsable docs/cluster/slurm-array.sh P 256) &&
#     sbatch --dependency=afterany:$jid --wrap "vesperon-cli project merge P"
