"""The Python example of README.md and the script in examples/python run as they stand."""

import contextlib
import io
import os
import re
import subprocess
import sys

import pytest

from conftest import SOURCE


def test_the_readme_example_runs_and_writes_the_result_files(tmp_path, monkeypatch):
    readme = (SOURCE / "README.md").read_text()
    section = readme[readme.index("## Python"):]
    code = re.search(r"```python\n(.*?)```", section, re.S).group(1)
    (tmp_path / "examples").symlink_to(SOURCE / "examples")
    monkeypatch.chdir(tmp_path)
    with contextlib.redirect_stdout(io.StringIO()) as printed:
        exec(compile(code, "README.md", "exec"), {})
    assert "run_ended" in printed.getvalue()
    assert sorted(p.name for p in (tmp_path / "out").iterdir()) == [
        "au-film-start.bst", "au-film-start.loc", "au-film-start.pct"]


def test_the_example_script_saves_its_figure(tmp_path):
    pytest.importorskip("matplotlib")
    figure = tmp_path / "fit.png"
    subprocess.run([sys.executable, str(SOURCE / "examples" / "python" / "fit_demo.py"),
                    str(figure)], check=True, capture_output=True, env=dict(os.environ))
    assert figure.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
