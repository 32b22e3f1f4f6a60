"""Writes the documents of the shared rule tables (tests/rules) as seeds of the
fuzz targets that read them, in each target's input form.

    python3 tests/fuzz/table_seeds.py TARGET DIRECTORY
"""

import json
import sys
from pathlib import Path

RULES = Path(__file__).resolve().parents[1] / "rules"


def expanded(value):
    if isinstance(value, dict) and "$repeat" in value:
        return value["$repeat"] * value["$times"]
    if isinstance(value, dict):
        return {k: expanded(v) for k, v in value.items()}
    if isinstance(value, list):
        return [expanded(v) for v in value]
    return value


def documents(table):
    """Each case's document, built as tests/unit/rule_tables.hpp builds it."""
    for case in table["cases"]:
        if "whole" in case:
            yield expanded(case["whole"])
        elif "answer" in case:
            yield expanded(case["answer"])
        else:
            doc = expanded(table["document"])
            for pointer, value in case.get("set", {}).items():
                *parents, last = pointer.strip("/").split("/")
                node = doc
                for key in parents:
                    node = node[key]
                node[last] = expanded(value)
            for pointer in case.get("remove", []):
                *parents, last = pointer.strip("/").split("/")
                node = doc
                for key in parents:
                    node = node[key]
                node.pop(last, None)
            yield doc


def seeds(target):
    text = lambda doc: json.dumps(doc, ensure_ascii=False)
    if target == "installer_descriptor":
        table = json.loads((RULES / "game_config.json").read_text(encoding="utf-8"))
        return [text(doc["installer"]) for doc in documents(table)
                if isinstance(doc, dict) and isinstance(doc.get("installer"), dict)]
    source = {"game_config": ("game_config", "packageId"), "check_answer": ("check_answer", "packageId"),
              "shell_manifest": ("shell_manifest", "ownVersion")}.get(target)
    if source is None:
        return []
    table = json.loads((RULES / (source[0] + ".json")).read_text(encoding="utf-8"))
    return ["%s\n%s" % (table[source[1]], text(doc)) for doc in documents(table)]


def main():
    target, directory = sys.argv[1], Path(sys.argv[2])
    directory.mkdir(parents=True, exist_ok=True)
    for number, seed in enumerate(seeds(target)):
        (directory / ("table-%03d" % number)).write_bytes(seed.encode("utf-8"))


if __name__ == "__main__":
    main()
