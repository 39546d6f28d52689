# Types of framelot.dask, for editors and type checkers.
from typing import Any, Literal

from framelot import Paths, Result

def convert(
    paths: Paths, client: Any = ..., *, recursive: bool = ..., progress: bool = ..., **options: Any
) -> list[Result]: ...
def frames(
    paths: Paths, *, recursive: bool = ..., errors: Literal["skip", "raise"] = ..., **options: Any
) -> Any: ...
