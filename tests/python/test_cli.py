# SPDX-License-Identifier: MIT
"""python3 -m zelreport table and plot, and the README's example."""
import os
import re
import subprocess
import sys

import pytest

from conftest import ROOT, SAMPLE, run_python

TABLE = """\
#  nomvar  typvar  etiket    ip1  ip2  ip3  ni*nj*nk  datyp  count         min       max        avg
1  TT      P       ANALYSIS  500    0    0  3x2x1         1      6  -12.500000  1.500000  -6.750000
2  GZ      P       FORECAST  850    6    0  2x2x1         2      4           -         -          -
"""
# Every field, then the count and the statistics: to_dataframe's columns.
CSV = """\
record,nomvar,typvar,etiket,ip1,ip2,ip3,ni,nj,nk,dateo,deet,npas,grtyp,ig1,ig2,ig3,ig4,nbits,datyp,swa,lng,\
dltf,ubc,extra1,extra2,extra3,npak,iun,count,min,max,avg
1,TT,P,ANALYSIS,500,0,0,3,2,1,20260101,300,12,L,100,200,300,400,-16,1,0,0,0,0,0,0,0,0,0,6,-12.500000,1.500000,\
-6.750000
2,GZ,P,FORECAST,850,6,0,2,2,1,20260101,300,72,L,100,200,300,400,-32,2,0,0,0,0,0,0,0,0,0,4,,,
"""


def import_zelreport():
    import zelreport as package
    return package


def zelreport(*args, **kwargs):
    return subprocess.run([sys.executable, "-m", "zelreport", *map(str, args)], capture_output=True, text=True,
                          **kwargs)


def test_table_aligned_and_csv():
    assert zelreport("table", SAMPLE).stdout == TABLE
    with open(SAMPLE, "rb") as stdin:
        assert zelreport("table", "--csv", "-", stdin=stdin).stdout == CSV


def test_to_dataframe_has_the_csv_columns():
    pandas = pytest.importorskip("pandas", reason="python3-pandas is not installed")
    frame = import_zelreport().to_dataframe(SAMPLE)
    assert [frame.index.name] + list(frame.columns) == CSV.splitlines()[0].split(",")
    assert frame.loc[1, "nomvar"] == "TT" and frame.loc[2, "count"] == 4 and frame.loc[2, "min"] is pandas.NA
    assert frame.dtypes["ip1"] == "int32" and str(frame.dtypes["avg"]) == "Float32" and frame.loc[1, "avg"] == -6.75


def test_plot_draws_a_picture_of_the_field(tmp_path):
    image = pytest.importorskip("matplotlib.image")
    out = tmp_path / "tt.png"
    done = zelreport("plot", SAMPLE, "--nomvar", "TT", "-o", out)
    assert done.returncode == 0, done.stderr
    pixels = image.imread(out)
    assert pixels.shape[0] > 300 and pixels.shape[1] > 400
    assert len({tuple(p) for p in pixels.reshape(-1, pixels.shape[-1])}) > 1


@pytest.mark.parametrize("args, status, message", [
    (["plot", SAMPLE, "--record", "3"], 1, "no record 3"),
    (["plot", SAMPLE, "--level", "2"], 1, "levels 1 to 1, not 2"),
    (["table", "missing.xml"], 1, "No such file or directory: 'missing.xml'"),
    (["plot"], 2, "the following arguments are required: FILE"),
    (["plot", SAMPLE, "-o", "out.xyz"], 2, "cannot write out.xyz: unknown picture format (known extensions: "),
    (["html", "missing.xml", "-o", "page.html"], 1, "No such file or directory: 'missing.xml'"),
    (["html", SAMPLE, "--thumbnails", "some"], 2, "expected a count of records or 'all', not 'some'"),
])
def test_command_line_failures(args, status, message, tmp_path):
    done = zelreport(*args, cwd=tmp_path)
    # One line of message (after argparse's usage line for a usage error), and no file left.
    assert (done.returncode, message in done.stderr.splitlines()[-1]) == (status, True), done.stderr
    assert "Traceback" not in done.stderr and not any(tmp_path.iterdir())


def test_plot_without_matplotlib_says_so():
    code = "import sys; sys.modules['matplotlib'] = None; from zelreport._cli import main; sys.exit(main(sys.argv[1:]))"
    done = run_python(code, "plot", str(SAMPLE))
    assert done.returncode == 2 and b"Matplotlib is not installed" in done.stderr


def test_the_readme_example_runs(tmp_path):
    pytest.importorskip("matplotlib")
    readme = (ROOT / "README.md").read_text()
    example = re.search(r"## Python\n.*?```python\n(.*?)```", readme, re.S).group(1)
    assert len(example.splitlines()) == 5
    example = example.replace("examples/sample.xml", str(SAMPLE))
    done = subprocess.run([sys.executable, "-c", example], cwd=tmp_path, capture_output=True, text=True,
                          env=dict(os.environ, MPLBACKEND="Agg"))
    assert done.stdout == "TT 500 (-12.5, 1.5, -6.75)\nGZ 850 None\n", done.stderr
    assert (tmp_path / "tt.png").stat().st_size > 1000
