#!/usr/bin/python3
"""Finds the element a copied locator names the way a user's dogtail test would: the expression, read from
stdin, is evaluated with what such a test has in scope (`root` from dogtail.tree, `GenericPredicate` from
dogtail.predicate), on the accessibility bus of the caller's session. It prints one line of JSON to stdout:

  {"found": true, "role": ROLE_NAME, "name": NAME, "extents": [x, y, width, height], "seconds": S}
  {"found": false, "error": WHAT, "seconds": S}                     (and exit code 1)

The extents are the element's in screen coordinates (Component.getExtents). dogtail retries a search that
finds nothing for ten seconds by default; here it gives up after SEARCH_ATTEMPTS tries, so that a miss fails
within a few seconds. Run it with /usr/bin/python3: Debian's dogtail lives there.

Usage: run_dogtail_locator.py < LOCATOR
"""

import json
import os
import sys
import time

SEARCH_ATTEMPTS = 3
SEARCH_BACKOFF_SECONDS = 0.5


def main():
    expression = sys.stdin.read()
    # dogtail refuses to start unless accessibility is switched on in the user's settings or this says so.
    if "gail:atk-bridge" not in os.environ.get("GTK_MODULES", ""):
        os.environ["GTK_MODULES"] = "gail:atk-bridge"
    # dogtail logs its searches to stdout: that goes to stderr, and stdout carries the answer alone.
    answer = sys.stdout
    sys.stdout = sys.stderr
    started = time.monotonic()
    try:
        import pyatspi
        from dogtail.config import config
        from dogtail.predicate import GenericPredicate
        from dogtail.tree import Node, root

        config.searchCutoffCount = SEARCH_ATTEMPTS
        config.searchBackoffDuration = SEARCH_BACKOFF_SECONDS
        config.logDebugToFile = False
        found = eval(compile(expression, "<locator>", "eval"),  # noqa: S307 - what a user's test would run
                     {"root": root, "GenericPredicate": GenericPredicate})
        if not isinstance(found, Node):
            raise TypeError(f"the locator gives {type(found).__name__}, not an element")
        box = found.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        result = {"found": True, "role": found.roleName, "name": found.name,
                  "extents": [box.x, box.y, box.width, box.height]}
    except Exception as error:  # noqa: BLE001 - whatever the test would fail with is the answer
        result = {"found": False, "error": f"{type(error).__name__}: {error}"}
    result["seconds"] = round(time.monotonic() - started, 3)
    answer.write(json.dumps(result) + "\n")
    answer.flush()
    return 0 if result["found"] else 1


if __name__ == "__main__":
    sys.exit(main())
