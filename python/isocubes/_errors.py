"""The package's exceptions and warning, raised by its binding."""


class FileError(OSError):
    """A file that cannot be read or written: missing, unreadable,
    malformed, of a format this build lacks. errno is the system's reason
    where one applies (None for a malformed file), filename the file; the
    message is the reader's or writer's one line, which names the file."""

    __module__ = "isocubes"

    def __str__(self):
        return self.strerror if self.strerror is not None else super().__str__()


class MissingFileError(FileError, FileNotFoundError):
    """A file that is not there: a FileError and a FileNotFoundError."""

    __module__ = "isocubes"


class MeshWarning(UserWarning):
    """What a run found that is likely not what was meant: NaN voxels, a
    level beyond the data, a box closed around a signed distance field's
    outside, labels found nowhere."""

    __module__ = "isocubes"
