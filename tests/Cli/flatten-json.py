#!/usr/bin/env python3
"""Prints the JSON document on standard input (failing unless it is valid JSON in UTF-8) as
"path=value" lines ("[0].name=...", "files[2].written[0]=...") and "path#=count" per container."""
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
