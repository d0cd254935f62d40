"""Python values turned into what the binding takes, with a ValueError or
TypeError that names the argument and never prints an array."""

import numbers
import os

import numpy as np


# Read in place, as they are; everything else is converted.
_READ_IN_PLACE = {np.dtype(name) for name in (
    "uint8", "int8", "uint16", "int16", "uint32", "int32", "float32", "float64")}


def is_path(value):
    return isinstance(value, (str, bytes, os.PathLike))


def voxels(volume, name="volume"):
    """The volume as an array the library reads: in place for its eight
    dtypes and bool (as uint8, 0 and 1); other integers as float64 and
    float16 as float32, copied (int64 beyond 2**53 rounds)."""
    try:
        array = np.asarray(volume)
    except Exception as error:  # a ragged list, an object numpy cannot take
        raise TypeError(f"{name} must be a 3-D array or array-like: {error}") from None
    kind = array.dtype.kind
    if kind == "b":
        return array.view(np.uint8)
    if array.dtype.isnative and array.dtype in _READ_IN_PLACE:
        return array
    if kind in "iu":
        return array.astype(np.float64)
    if kind == "f" and array.dtype.itemsize < 4:
        return array.astype(np.float32)
    return array  # refused by the binding, which says why


def mid_range(array):
    """scikit-image's default level: halfway between the extreme values."""
    if array.size == 0:
        raise ValueError("level=None takes the middle of the values, and the volume has none")
    low, high = np.nanmin(array), np.nanmax(array)
    return (float(low) + float(high)) / 2


def number(name, value):
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a number, not {type(value).__name__}")
    return float(value)


def triple(name, value, default):
    """Three numbers, one per array axis."""
    if value is None:
        return default
    if np.isscalar(value) and isinstance(value, numbers.Real):
        raise ValueError(f"{name} must be three numbers, one per array axis, not one; "
                         f"give ({value}, {value}, {value}) for all three")
    try:
        values = [float(v) for v in np.asarray(value, dtype=np.float64).reshape(-1)]
    except (TypeError, ValueError):
        raise TypeError(f"{name} must be three numbers, one per array axis") from None
    if len(values) != 3 or np.ndim(value) != 1:
        raise ValueError(f"{name} must be three numbers, one per array axis, not "
                         f"{len(values)}")
    return tuple(values)


def affine_of(affine):
    if affine is None:
        return None
    matrix = np.asarray(affine, dtype=np.float64)
    if matrix.shape != (4, 4):
        raise ValueError(f"affine must be a 4x4 matrix (index to world), not of shape "
                         f"{matrix.shape}")
    return matrix


def placement(spacing, origin, affine):
    """(spacing, origin, affine) for the binding: an affine or a grid."""
    if affine is not None and (spacing is not None or origin is not None):
        raise ValueError("give affine, or spacing and origin, not both: an affine holds them")
    return (triple("spacing", spacing, (1.0, 1.0, 1.0)), triple("origin", origin,
                                                                 (0.0, 0.0, 0.0)),
            affine_of(affine))


def threads(value):
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"threads must be an integer, not {type(value).__name__}")
    return int(value)


def progress(callback):
    if callback is not None and not callable(callback):
        raise TypeError("progress must be a callable progress(done, total), or None")
    return callback


def rows(name, value, dtype):
    """Vertices, faces or normals as the binding takes them (C order, its
    dtype); None stays None."""
    if value is None:
        return None
    try:
        array = np.ascontiguousarray(value, dtype=dtype)
    except (TypeError, ValueError) as error:
        raise TypeError(f"{name} must be an array of shape (N, 3) of numbers: {error}") from None
    if array.ndim != 2 or array.shape[1] != 3:
        raise ValueError(f"{name} must be an array of shape (N, 3), not {array.shape}")
    return array


def mesh_rows(vertices, faces, normals):
    return (rows("vertices", vertices, np.float32), rows("faces", faces, np.int64),
            rows("normals", normals, np.float32))
