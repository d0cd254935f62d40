from os import PathLike
from typing import Dict, Literal, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

_Path = Union[str, bytes, PathLike]
_Triple = Tuple[float, float, float]
_Mesh = Tuple[
    npt.NDArray[np.float32], npt.NDArray[np.uint32], Optional[npt.NDArray[np.float32]]
]

class FileError(OSError): ...
class MeshWarning(UserWarning): ...

def marching_cubes(
    volume: npt.NDArray,
    level: float,
    spacing: _Triple = ...,
    origin: _Triple = ...,
    closed: bool = ...,
    welded: bool = ...,
    normals: bool = ...,
    threads: int = ...,
    *,
    inside: Optional[Literal["above", "below"]] = ...,
) -> _Mesh: ...
def mesh_labels(
    volume: npt.NDArray,
    labels: Optional[Sequence[int]] = ...,
    spacing: _Triple = ...,
    origin: _Triple = ...,
    closed: bool = ...,
    welded: bool = ...,
    normals: bool = ...,
    threads: int = ...,
) -> Dict[int, _Mesh]: ...
def read_volume(
    path: _Path,
    shape: Optional[Tuple[int, int, int]] = ...,
    dtype: Optional[npt.DTypeLike] = ...,
    spacing: _Triple = ...,
    origin: _Triple = ...,
) -> Tuple[npt.NDArray, npt.NDArray[np.float64]]: ...
def finish(
    vertices: npt.ArrayLike,
    faces: npt.ArrayLike,
    normals: Optional[npt.ArrayLike] = ...,
    *,
    keep_largest: bool = ...,
    min_component: int = ...,
    smooth: int = ...,
    passband: float = ...,
    decimate: float = ...,
    volume_shape: Optional[Tuple[int, int, int]] = ...,
    spacing: _Triple = ...,
    origin: _Triple = ...,
) -> _Mesh: ...
def write_mesh(
    path: _Path,
    vertices: npt.ArrayLike,
    faces: npt.ArrayLike,
    normals: Optional[npt.ArrayLike] = ...,
    *,
    format: Optional[str] = ...,
    comment: str = ...,
    ascii: bool = ...,
    space: str = ...,
) -> None: ...
