#!/usr/bin/env python3
"""check-winget-manifests.py SOURCE_DIR SCHEMA_DIR GENERATED_DIR EXE

Validates every WinGet manifest under SOURCE_DIR/packaging and the ones
make-manifests wrote into GENERATED_DIR (from EXE, given for both word
sizes) against the official 1.10.0 schemas in SCHEMA_DIR, as the community
repository reads them (JSON Schema Draft 7 over the YAML's data). A folder
with a version manifest must hold its installer and default-locale
manifests, agreeing on identifier, version and locale. The generated
installer manifest must carry EXE's SHA-256 and list every exit code of
resources/installErrors.json that the file does not name as unlisted."""

import glob
import hashlib
import json
import os
import sys

import jsonschema
import yaml

SCHEMA_VERSION = "1.10.0"
MANIFEST_TYPES = ("version", "installer", "defaultLocale", "locale", "singleton")


def load_validators(schema_dir):
    validators = {}
    for kind in MANIFEST_TYPES:
        path = os.path.join(schema_dir, "manifest.%s.%s.json" % (kind, SCHEMA_VERSION))
        if not os.path.isfile(path):
            sys.exit("no schema %s" % path)
        with open(path, encoding="utf-8") as file:
            schema = json.load(file)
        jsonschema.Draft7Validator.check_schema(schema)
        validators[kind] = jsonschema.Draft7Validator(schema, format_checker=jsonschema.Draft7Validator.FORMAT_CHECKER)
    return validators


def schema_errors(validators, data):
    """The schema's complaints about one manifest's data, as text."""
    if not isinstance(data, dict):
        return ["not a mapping"]
    kind = data.get("ManifestType")
    if kind not in validators:
        return ["ManifestType %r is none of %s" % (kind, ", ".join(MANIFEST_TYPES))]
    if str(data.get("ManifestVersion")) != SCHEMA_VERSION:
        return ["ManifestVersion %r, not %s" % (data.get("ManifestVersion"), SCHEMA_VERSION)]
    return ["%s: %s" % ("/".join(str(part) for part in error.absolute_path) or "(top)", error.message)
            for error in sorted(validators[kind].iter_errors(data), key=lambda e: list(map(str, e.absolute_path)))]


def folder_errors(documents):
    """What a multi-file manifest's files must agree on."""
    kinds = {}
    for path, data in documents.items():
        if isinstance(data, dict):
            kinds.setdefault(data.get("ManifestType"), []).append((path, data))
    if "version" not in kinds:
        return []
    errors = []
    for kind in ("version", "installer", "defaultLocale"):
        if len(kinds.get(kind, [])) != 1:
            errors.append("a multi-file manifest needs exactly one %s manifest, has %d" %
                          (kind, len(kinds.get(kind, []))))
    if errors:
        return errors
    version = kinds["version"][0][1]
    for path, data in documents.items():
        for key in ("PackageIdentifier", "PackageVersion"):
            if str(data.get(key)) != str(version.get(key)):
                errors.append("%s: %s %r, the version manifest says %r" % (path, key, data.get(key), version.get(key)))
    if kinds["defaultLocale"][0][1].get("PackageLocale") != version.get("DefaultLocale"):
        errors.append("DefaultLocale is not the default-locale manifest's PackageLocale")
    return errors


def check_folder(validators, folder, paths):
    errors = []
    documents = {}
    for path in paths:
        with open(path, encoding="utf-8") as file:
            try:
                data = yaml.safe_load(file)
            except yaml.YAMLError as error:
                errors.append("%s: not YAML: %s" % (path, error))
                continue
        documents[path] = data
        errors += ["%s: %s" % (path, message) for message in schema_errors(validators, data)]
    errors += ["%s: %s" % (folder, message) for message in folder_errors(documents)]
    return errors, documents


def manifests_under(root):
    """{folder: [manifest paths]} of every YAML file below `root`."""
    folders = {}
    for pattern in ("*.yaml", "*.yml"):
        for path in glob.glob(os.path.join(root, "**", pattern), recursive=True):
            folders.setdefault(os.path.dirname(path), []).append(path)
    return {folder: sorted(paths) for folder, paths in sorted(folders.items())}


def exit_code_errors(source_dir, installer):
    with open(os.path.join(source_dir, "resources", "installErrors.json"), encoding="utf-8") as file:
        definitions = json.load(file)
    unlisted = definitions["wingetReturnCodes"]["unlisted"]
    defined = {record["id"] for record in definitions["installErrors"] + definitions["exitCodes"]["codes"]
               if record["name"] not in unlisted}
    listed = [entry["InstallerReturnCode"] for entry in installer.get("ExpectedReturnCodes") or []]
    errors = []
    if len(listed) != len(set(listed)):
        errors.append("an exit code is listed twice")
    if set(listed) != defined:
        errors.append("ExpectedReturnCodes differ from installErrors.json: missing %s, not defined %s" %
                      (sorted(defined - set(listed)), sorted(set(listed) - defined)))
    return errors


def generated_errors(validators, source_dir, generated_dir, exe):
    paths = manifests_under(generated_dir).get(generated_dir, [])
    if len(paths) != 3:
        return ["%s: %d manifests, not the version, installer and default-locale ones" % (generated_dir, len(paths))]
    errors, documents = check_folder(validators, generated_dir, paths)
    installers = [data for data in documents.values() if isinstance(data, dict) and
                  data.get("ManifestType") == "installer"]
    if errors or len(installers) != 1:
        return errors or ["no installer manifest"]
    installer = installers[0]
    with open(exe, "rb") as file:
        digest = hashlib.sha256(file.read()).hexdigest()
    architectures = []
    for entry in installer["Installers"]:
        architectures.append(entry["Architecture"])
        if entry["InstallerSha256"].lower() != digest:
            errors.append("the %s installer's InstallerSha256 is not the executable's" % entry["Architecture"])
    if sorted(architectures) != ["x64", "x86"]:
        errors.append("installers for %s, not x64 and x86" % architectures)
    errors += exit_code_errors(source_dir, installer)

    # The validation itself must see what the schema forbids: the two faults
    # of the singleton manifest this format replaced, in generated data.
    faults = {
        "a hash YAML reads as a number": lambda d: d["Installers"][0].update(InstallerSha256=0),
        "an unknown return response": lambda d: d["ExpectedReturnCodes"][0].update(ReturnResponse="failed"),
        "exit code 0 listed": lambda d: d["ExpectedReturnCodes"].append(
            {"InstallerReturnCode": 0, "ReturnResponse": "contactSupport"}),
    }
    for name, spoil in faults.items():
        spoiled = json.loads(json.dumps(installer))
        spoil(spoiled)
        if not schema_errors(validators, spoiled):
            errors.append("the schema check let %s pass" % name)
    singleton = json.loads(json.dumps(installer))
    singleton["ManifestType"] = "singleton"
    if not any("Installers" in message for message in schema_errors(validators, singleton)):
        errors.append("the schema check let a singleton manifest with two installers pass")
    return errors


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    source_dir, schema_dir, generated_dir, exe = (os.path.abspath(argument) for argument in argv)
    validators = load_validators(schema_dir)
    errors = []
    checked = 0
    for folder, paths in manifests_under(os.path.join(source_dir, "packaging")).items():
        folder_problems, _ = check_folder(validators, folder, paths)
        errors += folder_problems
        checked += len(paths)
    errors += generated_errors(validators, source_dir, generated_dir, exe)
    for error in errors:
        print("FAIL " + error)
    print("%d manifests under packaging/ and the generated ones in %s checked: %s" %
          (checked, generated_dir, "%d errors" % len(errors) if errors else "valid"))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
