"""The examples must satisfy docs/label.schema.json, so that the schema and the format agree."""
import json
import pathlib
import sys

import jsonschema

root = pathlib.Path(sys.argv[1])
schema = json.loads((root / "docs" / "label.schema.json").read_text())
jsonschema.Draft202012Validator.check_schema(schema)
for label in sorted((root / "examples").glob("*.json")):
    jsonschema.validate(json.loads(label.read_text()), schema, cls=jsonschema.Draft202012Validator)
    print(f"{label.name}: valid")
