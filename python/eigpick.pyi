"""eigpick: the ten eigenvectors of an orbital listing (hdat.out), as the
vector file fort.50 holds them, from Python.

convert(directory) does in a job directory what the program eigpick does
there; read_listing(path) and read_vector_file(path) read a listing or a
vector file into a VectorSet of numpy arrays. Each call releases the GIL while
it works, so threads may convert different directories at once.
"""

import os
from typing import Literal, Optional, Tuple, Union

import numpy
import numpy.typing

_Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]

__version__: str

class ListingError(ValueError):
    """A failure of a call; str() of it is the one-line report the program
    prints. statement_line, record and columns are None where they do not
    apply; field is empty where no field applies."""

    path: str
    statement_line: Optional[int]
    record: Optional[int]
    columns: Optional[Tuple[int, int]]
    field: str
    cause: str

class MarkerNotFound(LookupError):
    """A listing without the marker, or a vector file that says so."""

    path: str

class VectorSet:
    """The ten eigenvectors of a listing or of a vector file, as fort.50 holds
    them: four of the listing's first block, then six of the next, every p
    shell in the order Py, Pz, Px."""

    @property
    def coefficients(self) -> numpy.typing.NDArray[numpy.float32]:
        """Shape (10, row_count): one row per vector (per orbital)."""
    @property
    def eigenvalues(self) -> numpy.typing.NDArray[numpy.float32]:
        """Shape (10,)."""
    @property
    def roots(self) -> numpy.typing.NDArray[numpy.int32]:
        """Shape (10,): the root numbers."""
    @property
    def labels(self) -> list[str]:
        """The orbital label of each row; empty for a vector file."""
    @property
    def row_count(self) -> int: ...

def convert(directory: _Path) -> Literal["converted", "not-found"]:
    """Converts the job directory as the program does when run there; raises
    ListingError for a failure."""

def read_listing(path: _Path) -> VectorSet:
    """The vectors a conversion of the listing would write; raises
    MarkerNotFound or ListingError."""

def read_vector_file(path: _Path) -> VectorSet:
    """A fort.50 read back; raises MarkerNotFound or ListingError."""
