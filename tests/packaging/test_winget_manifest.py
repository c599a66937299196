#!/usr/bin/env python3
"""The winget manifest: make_manifest.py fills it from the built installer, and both the committed
template and the generated files validate against winget's own 1.12.0 schemas
(packaging/winget/schema), with unknown field names refused as well, so a misspelt one cannot hide.
What the manifest promises is the installer's: one machine-wide installer, the exit codes the
program returns, the elevation its own manifest asks for and the entry it writes. Whether the
installer does what the switches say is tested end to end (tests/e2e/deploy.sh).

test_winget_manifest.py MAKE_MANIFEST SETUP_EXE WORK_DIR
"""
import copy
import hashlib
import json
import os
import re
import subprocess
import sys
import unittest

import jsonschema
import yaml

MAKE_MANIFEST, SETUP_EXE, WORK_DIR = sys.argv[1:4]
TEMPLATE_DIR = os.path.dirname(os.path.abspath(MAKE_MANIFEST))
ROOT = os.path.dirname(os.path.dirname(TEMPLATE_DIR))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import pe_resources  # noqa: E402

NAMES = {
    "version": "PelmoSoftware.Memotack.yaml",
    "installer": "PelmoSoftware.Memotack.installer.yaml",
    "defaultLocale": "PelmoSoftware.Memotack.locale.en-US.yaml",
}
MANIFEST_VERSION = "1.12.0"
RT_MANIFEST = 24


def closed(schema):
    """schema with every object that lists its properties refusing any other."""
    if isinstance(schema, dict):
        schema = {key: closed(value) for key, value in schema.items()}
        if "properties" in schema and "additionalProperties" not in schema:
            schema["additionalProperties"] = False
    elif isinstance(schema, list):
        schema = [closed(item) for item in schema]
    return schema


def validator(kind):
    with open(os.path.join(TEMPLATE_DIR, "schema", f"manifest.{kind}.{MANIFEST_VERSION}.json"), encoding="utf-8") as f:
        schema = closed(json.load(f))
    jsonschema.Draft7Validator.check_schema(schema)
    return jsonschema.Draft7Validator(schema)


def problems(manifest, kind):
    return sorted(f"{'/'.join(map(str, e.absolute_path))}: {e.message}" for e in validator(kind).iter_errors(manifest))


def load(folder):
    manifests = {}
    for kind, name in NAMES.items():
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            manifests[kind] = yaml.safe_load(f)
    return manifests


def requested_execution_level(exe):
    """The level the executable's own manifest (resource type 24) asks Windows for."""
    with open(exe, "rb") as f:
        data = f.read()
    for kind, _, _, size, start in pe_resources.resources(data):
        if kind == RT_MANIFEST:
            return re.search(rb'requestedExecutionLevel level="(\w+)"', data[start:start + size]).group(1).decode()
    return None


class WingetManifest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.out = os.path.join(WORK_DIR, "winget-manifest")
        subprocess.run([sys.executable, MAKE_MANIFEST, "--installer", SETUP_EXE, "--out", cls.out], check=True,
                       stdout=subprocess.DEVNULL)
        cls.generated = load(cls.out)
        cls.template = load(TEMPLATE_DIR)
        with open(SETUP_EXE, "rb") as f:
            cls.sha256 = hashlib.sha256(f.read()).hexdigest().upper()

    def test_template_and_generated_files_follow_the_schema(self):
        for label, manifests in (("template", self.template), ("generated", self.generated)):
            for kind, manifest in manifests.items():
                self.assertEqual([], problems(manifest, kind), f"{label} {kind}")
                self.assertEqual(MANIFEST_VERSION, manifest["ManifestVersion"])
                self.assertEqual("PelmoSoftware.Memotack", manifest["PackageIdentifier"])
                self.assertEqual("8.0a", manifest["PackageVersion"])
            self.assertEqual(manifests["version"]["DefaultLocale"], manifests["defaultLocale"]["PackageLocale"])
        with open(os.path.join(self.out, NAMES["installer"]), encoding="utf-8") as f:
            self.assertIn(f"winget-manifest.installer.{MANIFEST_VERSION}.schema.json", f.readline())

    def test_the_schema_check_catches_what_it_is_meant_to(self):
        bad = copy.deepcopy(self.generated["installer"])
        bad.update(ElevationRequirement="elevated", InstallerTpye="exe", ManifestVersion="1.12")
        bad["ExpectedReturnCodes"] = [{"InstallerReturnCode": 0, "ReturnResponse": "cancelled"}]
        bad["Installers"][0]["InstallerSha256"] = "0"
        del bad["PackageVersion"]
        found = "\n".join(problems(bad, "installer"))
        for expected in ("ElevationRequirement: 'elevated' is not one of", "'InstallerTpye' was unexpected",
                         "'PackageVersion' is a required property", "InstallerReturnCode: 0 should not be valid",
                         "ReturnResponse: 'cancelled' is not one of", "InstallerSha256: '0' does not match",
                         "ManifestVersion: '1.12' does not match"):
            self.assertIn(expected, found)

    def test_generated_installers_name_the_built_file(self):
        installers = self.generated["installer"]["Installers"]
        for installer in installers:
            self.assertEqual(self.sha256, installer["InstallerSha256"])
            self.assertTrue(installer["InstallerUrl"].startswith("https://www.pelmo-software.example/"))
        # Apart from the two filled values, the generated manifest is the committed one.
        for kind in NAMES:
            template, generated = copy.deepcopy(self.template[kind]), self.generated[kind]
            if kind == "installer":
                for t, g in zip(template["Installers"], generated["Installers"]):
                    t["InstallerUrl"], t["InstallerSha256"] = g["InstallerUrl"], g["InstallerSha256"]
            self.assertEqual(template, generated)
        with open(os.path.join(self.out, NAMES["installer"]), encoding="utf-8") as f:
            self.assertNotIn("Template", f.read())

        other = os.path.join(WORK_DIR, "winget-manifest-url")
        subprocess.run([sys.executable, MAKE_MANIFEST, "--installer", SETUP_EXE, "--out", other, "--url",
                        "https://downloads.example/memotack_setup.exe"], check=True, stdout=subprocess.DEVNULL)
        self.assertEqual(["https://downloads.example/memotack_setup.exe"] * len(installers),
                         [i["InstallerUrl"] for i in load(other)["installer"]["Installers"]])
        refused = subprocess.run([sys.executable, MAKE_MANIFEST, "--installer", SETUP_EXE, "--out", other, "--url",
                                  "ftp://x"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertNotEqual(0, refused.returncode)

    def test_switches_codes_and_entry_are_the_installers(self):
        for label, manifest in (("template", self.template["installer"]), ("generated", self.generated["installer"])):
            # Every install writes HKEY_LOCAL_MACHINE, so no installer may claim the user's scope.
            self.assertEqual(["machine"], [i.get("Scope", manifest.get("Scope")) for i in manifest["Installers"]],
                             label)
            self.assertEqual("exe", manifest["InstallerType"])
            self.assertEqual("install", manifest["UpgradeBehavior"])
            self.assertEqual({"requireAdministrator": "elevatesSelf"}.get(requested_execution_level(SETUP_EXE)),
                             manifest["ElevationRequirement"])
            self.assertEqual({1602: "cancelledByUser", 1603: "contactSupport", 1618: "installInProgress",
                              1639: "invalidParameter"},
                             {c["InstallerReturnCode"]: c["ReturnResponse"] for c in manifest["ExpectedReturnCodes"]})
            self.assertEqual([{"DisplayName": "Memotack 8.0a", "Publisher": "Pelmo Software",
                               "DisplayVersion": manifest["PackageVersion"], "ProductCode": "PelmoMemotack"}],
                             manifest["AppsAndFeaturesEntries"])
            for installer in manifest["Installers"]:
                switches = installer["InstallerSwitches"]
                self.assertEqual('-path="<INSTALLPATH>"', switches["InstallLocation"])
                self.assertEqual('-log="<LOGPATH>"', switches["Log"])
                self.assertEqual("-silent", switches["Silent"])
                self.assertEqual("-everyone", switches["Custom"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
