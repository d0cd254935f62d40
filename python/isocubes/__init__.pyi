from os import PathLike
from typing import Callable, Dict, Literal, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

_Path = Union[str, bytes, PathLike]
_Three = Sequence[float]  # one number per array axis
_Mesh = Tuple[
    npt.NDArray[np.float32], npt.NDArray[np.uint32], Optional[npt.NDArray[np.float32]]
]
_Progress = Optional[Callable[[int, int], object]]

__version__: str

class FileError(OSError): ...
class MissingFileError(FileError, FileNotFoundError): ...
class MeshWarning(UserWarning): ...

def marching_cubes(
    volume: Union[npt.ArrayLike, _Path],
    level: Optional[float] = ...,
    *,
    spacing: Optional[_Three] = ...,
    origin: Optional[_Three] = ...,
    affine: Optional[npt.ArrayLike] = ...,
    closed: Optional[bool] = ...,
    welded: bool = ...,
    normals: bool = ...,
    threads: int = ...,
    inside: Optional[Literal["above", "below"]] = ...,
    progress: _Progress = ...,
) -> _Mesh: ...
def mesh_labels(
    volume: npt.ArrayLike,
    labels: Optional[Sequence[int]] = ...,
    *,
    spacing: Optional[_Three] = ...,
    origin: Optional[_Three] = ...,
    affine: Optional[npt.ArrayLike] = ...,
    closed: Optional[bool] = ...,
    welded: bool = ...,
    normals: bool = ...,
    threads: int = ...,
    progress: _Progress = ...,
    conforming: bool = ...,
    interfaces: bool = ...,
    smooth: int = ...,
    passband: float = ...,
) -> Dict[Union[int, Tuple[int, int]], _Mesh]: ...
def read_volume(
    path: _Path,
    shape: Optional[Sequence[int]] = ...,
    dtype: Optional[npt.DTypeLike] = ...,
    *,
    spacing: Optional[_Three] = ...,
    origin: Optional[_Three] = ...,
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
    volume_shape: Optional[Sequence[int]] = ...,
    spacing: Optional[_Three] = ...,
    origin: Optional[_Three] = ...,
    affine: Optional[npt.ArrayLike] = ...,
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
