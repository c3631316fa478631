"""The errors and warnings of the korvel module."""

import re

# "film.mdl, line 3: 'x'" -- the place a reader names for a faulty token.
_LINE_PLACE = re.compile(r"^(?P<file>.+?), line (?P<line>\d+)(?:: '(?P<value>.*?)')?")
# A place that is a file alone: "/data/run 2/au.mdl" or "au.mdl (it is in UTF-16)".
_FILE_PLACE = re.compile(r"^(?P<file>(?:[^\s:,()]+|.*\.\w{1,4}))(?: \(.*\))?$")


class KorvelError(Exception):
    """A run that cannot go on, with the program's own message.

    Attributes:
        message: the program's text, exactly as korvel-cli prints it.
        where: the place as the program names it (a file and line, a parameter,
            a data point), or "".
        file, line, value: the file, the 1-based line and the token at fault, when
            `where` names them; None otherwise.
    """

    def __init__(self, message, where=""):
        super().__init__(message, where)
        self.message = message
        self.where = where
        self.file = self.line = self.value = None
        found = _LINE_PLACE.match(where)
        if found:
            self.file = found["file"]
            self.line = int(found["line"])
            self.value = found["value"]
        else:
            found = _FILE_PLACE.match(where)
            if found:
                self.file = found["file"]

    def __str__(self):
        return f"{self.message}\n{self.where}" if self.where else self.message


class KorvelWarning(UserWarning):
    """Something a reader or a fit found that did not stop it (a file that ends
    early, an odd link), with the program's text."""
