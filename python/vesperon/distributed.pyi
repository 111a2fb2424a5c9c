"""Type stubs of vesperon.distributed."""

import os
from typing import Any, Dict, Optional, Tuple, Union

def project_calls(
    project: Union[str, os.PathLike[str]],
    client: Any,
    shards: Optional[int] = None,
    *,
    band: Union[Tuple[float, float], str, None] = None,
    snr: Optional[float] = None,
    channel: Optional[str] = None,
) -> Dict[str, int]: ...
