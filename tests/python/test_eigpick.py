"""The module eigpick against the program's own bytes: the bundled example
converted, read and read back, failures and their parts, threads."""

import os
import pathlib
import threading
from concurrent.futures import ThreadPoolExecutor

import eigpick
import pytest

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"
EXAMPLE = (EXAMPLES / "hdat.out").read_text()
EXPECTED = (EXAMPLES / "fort.50.expected").read_text()


def edited(record, first_column, text):
    """The example listing with `text` over columns first_column... of record."""
    lines = EXAMPLE.splitlines(keepends=True)
    line = lines[record - 1]
    lines[record - 1] = line[: first_column - 1] + text + line[first_column - 1 + len(text) :]
    return "".join(lines)


def job(tmp_path, name, listing=EXAMPLE):
    directory = tmp_path / name
    directory.mkdir()
    (directory / "hdat.out").write_text(listing)
    return directory


def vector_file_text(vectors):
    """The vectors written as fort.50 writes them."""
    records = [f"{vectors.row_count:5d}"]
    for k in range(10):
        tail = "  1" if k == 4 else ""
        records += ["", "", f"    E ({vectors.roots[k]:3d} ) = {vectors.eigenvalues[k]:10.5f}{tail}"]
        fields = [f"{value:10.5f}" for value in vectors.coefficients[k]]
        records += ["".join(fields[i : i + 12]) for i in range(0, max(len(fields), 1), 12)]
    return "\n".join(records) + "\n"


@pytest.mark.parametrize("as_path", [str, pathlib.Path])
def test_convert_writes_the_programs_bytes(tmp_path, as_path):
    directory = job(tmp_path, "job")
    assert eigpick.convert(as_path(directory)) == "converted"
    assert (directory / "fort.50").read_text() == EXPECTED


def test_read_listing_holds_what_fort50_holds_and_reads_back(tmp_path):
    vectors = eigpick.read_listing(EXAMPLES / "hdat.out")
    assert vectors.coefficients.shape == (10, 18) and vectors.coefficients.flags.owndata
    assert [a.dtype.name for a in (vectors.coefficients, vectors.eigenvalues, vectors.roots)] == [
        "float32", "float32", "int32"]
    assert vectors.labels[3:6] == ["  Px", "  Py", "  Pz"] and len(vectors.labels) == 18
    assert vector_file_text(vectors) == EXPECTED
    back = eigpick.read_vector_file(str(EXAMPLES / "fort.50.expected"))
    assert back.labels == [] and vector_file_text(back) == EXPECTED


# A field of each kind of statement that is no number: (record, first column,
# text, statement line, last column).
BAD_FIELDS = [
    (57, 44, "12.3x456", 25, 51),  # a block A row
    (41, 42, "      1x", 18, 49),  # block A's root numbers
    (71, 12, "   1.1x0", 61, 19),  # block B's eigenvalues
    (80, 20, "0.0000x0", 74, 27),  # a block B row
]


@pytest.mark.parametrize("record, first, text, line, last", BAD_FIELDS)
@pytest.mark.parametrize("call", ["convert", "read_listing"])
def test_a_bad_field_names_its_place(tmp_path, call, record, first, text, line, last):
    directory = job(tmp_path, "job", edited(record, first, text))
    with pytest.raises(eigpick.ListingError) as raised:
        eigpick.convert(directory) if call == "convert" else eigpick.read_listing(directory / "hdat.out")
    failure = raised.value
    assert isinstance(failure, ValueError) and failure.path == str(directory / "hdat.out")
    parts = (failure.statement_line, failure.record, failure.columns, failure.field)
    assert parts == (line, record, (first, last), text)
    kind = "integer" if line == 18 else "real"
    assert failure.cause == f'bad {kind} field "{text}"'
    if call == "convert":
        place = f"statement line {line}, record {record}, columns {first}-{last}"
        assert str(failure) == f"eigpick: hdat.out (unit 4), {place}: {failure.cause}"


def test_no_marker(tmp_path):
    directory = job(tmp_path, "job", "no marker\n" * 600)
    with pytest.raises(eigpick.MarkerNotFound):
        eigpick.read_listing(directory / "hdat.out")
    assert eigpick.convert(directory) == "not-found"
    with pytest.raises(LookupError):
        eigpick.read_vector_file(directory / "fort.50")
    # Short of 500 records, a listing without the marker fails a conversion.
    (directory / "hdat.out").write_text("no marker\n" * 20)
    with pytest.raises(eigpick.MarkerNotFound):
        eigpick.read_listing(directory / "hdat.out")
    with pytest.raises(eigpick.ListingError) as raised:
        eigpick.convert(directory)
    assert (raised.value.statement_line, raised.value.record) == (12, None)


def test_threads_convert_their_own_directories(tmp_path):
    # Every other directory fails, each at a record of its own.
    listings = [EXAMPLE if k % 2 else edited(47 + k, 44, "12.3x456") for k in range(8)]
    directories = [job(tmp_path, f"job{k}", listing) for k, listing in enumerate(listings)]

    def outcome(directory):
        try:
            return eigpick.convert(directory), (directory / "fort.50").read_text() == EXPECTED
        except eigpick.ListingError as failure:
            return failure.record, failure.path == str(directory / "hdat.out")

    for _ in range(5):
        with ThreadPoolExecutor(8) as pool:
            outcomes = list(pool.map(outcome, directories))
        assert outcomes == [("converted", True) if k % 2 else (47 + k, True) for k in range(8)]


def test_a_call_waiting_on_a_fifo_lets_other_threads_run(tmp_path):
    # With the GIL held while convert waits for the FIFO's writer, this thread,
    # the writer, would never run.
    directory = tmp_path / "job"
    directory.mkdir()
    os.mkfifo(directory / "hdat.out")
    outcomes = []
    converting = threading.Thread(target=lambda: outcomes.append(eigpick.convert(directory)))
    converting.start()
    with open(directory / "hdat.out", "w") as fifo:
        fifo.write(EXAMPLE)
    converting.join()
    assert outcomes == ["converted"] and (directory / "fort.50").read_text() == EXPECTED
