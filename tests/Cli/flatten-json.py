#!/usr/bin/env python3
"""Reads one JSON document from standard input (failing on anything that is not valid JSON in
UTF-8) and prints one "path=value" line per value, so that the tests can look any value up by its
path: "[0].name", "files[2].written[0]". Arrays and objects also print "path#=count"."""
import json
import sys


def walk(path, value):
    if isinstance(value, (dict, list)):
        print(f"{path}#={len(value)}")
        items = value.items() if isinstance(value, dict) else enumerate(value)
        for key, inner in items:
            walk(f"{path}.{key}" if isinstance(value, dict) and path else
                 key if isinstance(value, dict) else f"{path}[{key}]", inner)
    else:
        text = value if isinstance(value, str) else json.dumps(value)
        print(f"{path}={text}".replace("\n", "\\n"))


walk("", json.loads(sys.stdin.buffer.read().decode("utf-8")))
