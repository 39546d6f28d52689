"""Keyword options, as the words the command line takes.

Each keyword is the command line's option without its dashes, with ``_``
for ``-`` (``merge_held=True`` is ``--merge-held``); the words are read by
the core's one option reader, so a refusal is the command line's.
"""

import numbers
import os

# Options that take a value, by keyword.
VALUES = {
    "output": "--output", "frames": "--frames", "every": "--every", "at": "--at", "count": "--count",
    "name": "--name", "start": "--start", "scale": "--scale", "fit": "--fit", "filter": "--filter",
    "format": "--format", "quality": "--quality", "background": "--background",
    "max_output": "--max-output", "timings": "--timings", "canvas": "--canvas",
    "columns": "--columns", "rows": "--rows", "padding": "--padding", "margin": "--margin",
    "extrude": "--extrude", "max_size": "--max-size", "atlas": "--atlas",
}

# Switches, by keyword: True gives the option, False leaves it out.
FLAGS = {
    "merge_held": "--merge-held", "strip": "--strip", "pot": "--pot", "trim": "--trim",
    "npy": "--npy", "sheet": "--sheet",
}



def _number(value):
    if isinstance(value, bool):
        raise TypeError("expected a number, not a bool")
    if isinstance(value, numbers.Integral):
        return str(int(value))
    return repr(float(value)) if isinstance(value, numbers.Real) else str(value)


def _frame_list(value):
    """0, "0,5,10-20", range(10, 20) or [0, 5, range(10, 21), "30-"]."""
    if isinstance(value, (str, numbers.Integral)):
        return _number(value) if not isinstance(value, str) else value
    if isinstance(value, range):
        if value.step != 1 or len(value) == 0:
            return ",".join(str(i) for i in value)
        return f"{value.start}-{value.stop - 1}"
    return ",".join(_frame_list(item) for item in value)


def _times(value):
    """Seconds as numbers, or the command line's texts ("1.5s", "2500ms")."""
    if isinstance(value, (str, numbers.Real)):
        return value if isinstance(value, str) else _number(value)
    return ",".join(_times(item) for item in value)


def _size(value):
    """(width, height) or "WxH"."""
    if isinstance(value, str):
        return value
    width, height = value
    return f"{_number(width)}x{_number(height)}"


def _colour(value):
    """"#RRGGBB", "#RGB", "white", "black" or (red, green, blue)."""
    if isinstance(value, str):
        return value
    red, green, blue = (int(c) for c in value)
    return f"#{red:02x}{green:02x}{blue:02x}"


_TEXT = {"frames": _frame_list, "at": _times, "fit": _size, "max_size": _size, "background": _colour}


def words(function, options):
    """The command line's words for ``options`` (a dict of keywords);
    TypeError for a keyword that is not one of the command line's options."""
    out = []
    for keyword, value in options.items():
        if value is None:
            continue
        if keyword == "folder":
            out.append("--folder" if value else "--no-folder")
        elif keyword in FLAGS:
            if not isinstance(value, bool):
                raise TypeError(f"{function}(): {keyword} takes True or False")
            if value:
                out.append(FLAGS[keyword])
        elif keyword in VALUES:
            convert = _TEXT.get(keyword)
            if convert is not None:
                text = convert(value)
            elif isinstance(value, str):
                text = value
            elif keyword == "output":
                text = os.fsdecode(os.fspath(value))
            else:
                text = _number(value)
            out += [VALUES[keyword], text]
        else:
            raise TypeError(f"{function}() got an unexpected keyword argument '{keyword}'")
    return out
