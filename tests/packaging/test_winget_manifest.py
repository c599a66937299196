#!/usr/bin/env python3
"""The winget manifest: make_manifest.py fills it from the built installer, and both the committed
template and the generated files follow the 1.6.0 schema (required fields, types, patterns and enum
values as the schema documents them; unknown field names are refused, so a misspelt one cannot
hide). Whether the installer does what the switches say is tested end to end (tests/e2e/deploy.sh).

test_winget_manifest.py MAKE_MANIFEST SETUP_EXE WORK_DIR
"""
import copy
import hashlib
import os
import re
import subprocess
import sys
import unittest

import yaml

MAKE_MANIFEST, SETUP_EXE, WORK_DIR = sys.argv[1:4]
TEMPLATE_DIR = os.path.dirname(os.path.abspath(MAKE_MANIFEST))
NAMES = {
    "version": "PelmoSoftware.Memotack.yaml",
    "installer": "PelmoSoftware.Memotack.installer.yaml",
    "defaultLocale": "PelmoSoftware.Memotack.locale.en-US.yaml",
}

# --- The parts of the 1.6.0 schemas (manifest.version/installer/defaultLocale.1.6.0.json) used here.
ID = r"^[^\.\s\\/:\*\?\"<>\|\x01-\x1f]{1,32}(\.[^\.\s\\/:\*\?\"<>\|\x01-\x1f]{1,32}){1,7}$"
VERSION = r"^[^\\/:\*\?\"<>\|\x01-\x1f]+$"
LOCALE = r"^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$"
URL = r"^([Hh][Tt][Tt][Pp][Ss]?)://.+$"
SHA256 = r"^[A-Fa-f0-9]{64}$"
MANIFEST_VERSION = "1.6.0"


def text(pattern=None, min_len=0, max_len=None):
    return {"type": str, "pattern": pattern, "min": min_len, "max": max_len}


def enum(*values):
    return {"type": str, "enum": values}


def array(item, max_items):
    return {"type": list, "item": item, "max": max_items}


def obj(fields, required=()):
    return {"type": dict, "fields": fields, "required": required}


RETURN_CODE = {"type": int, "range": (-2147483648, 4294967295), "not": (0,)}
ARP_ENTRY = obj({
    "DisplayName": text(None, 1, 256), "Publisher": text(None, 1, 256), "DisplayVersion": text(None, 1, 128),
    "ProductCode": text(None, 1, 255), "UpgradeCode": text(None, 1, 255),
    "InstallerType": enum("msix", "msi", "appx", "exe", "zip", "inno", "nullsoft", "wix", "burn", "pwa", "portable"),
})
SWITCHES = obj({key: text(None, 1, 2048 if key == "Custom" else 512) for key in (
    "Silent", "SilentWithProgress", "Interactive", "InstallLocation", "Log", "Upgrade", "Custom")})
INSTALLER_FIELDS = {
    "InstallerLocale": text(LOCALE, 0, 20),
    "Platform": array(enum("Windows.Desktop", "Windows.Universal"), 2),
    "MinimumOSVersion": text(r"^\d+(\.\d+){0,3}$"),
    "InstallerType": ARP_ENTRY["fields"]["InstallerType"],
    "Scope": enum("user", "machine"),
    "InstallModes": array(enum("interactive", "silent", "silentWithProgress"), 3),
    "InstallerSwitches": SWITCHES,
    "InstallerSuccessCodes": array(RETURN_CODE, 16),
    "ExpectedReturnCodes": array(obj({
        "InstallerReturnCode": RETURN_CODE,
        "ReturnResponse": enum("packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse",
                               "missingDependency", "diskFull", "insufficientMemory", "invalidParameter",
                               "noNetwork", "contactSupport", "rebootRequiredToFinish", "rebootRequiredForInstall",
                               "rebootInitiated", "cancelledByUser", "alreadyInstalled", "downgrade",
                               "blockedByPolicy", "systemNotSupported", "custom"),
        "ReturnResponseUrl": text(URL, 0, 2048),
    }), 128),
    "UpgradeBehavior": enum("install", "uninstallPrevious"),
    "ProductCode": text(None, 1, 255),
    "AppsAndFeaturesEntries": array(ARP_ENTRY, 128),
    "ElevationRequirement": enum("elevationRequired", "elevationProhibited", "elevatesSelf"),
}
INSTALLER_ITEM = obj(dict(INSTALLER_FIELDS, **{
    "Architecture": enum("x86", "x64", "arm", "arm64", "neutral"),
    "InstallerUrl": text(URL, 0, 2048),
    "InstallerSha256": text(SHA256),
}), required=("Architecture", "InstallerUrl", "InstallerSha256"))
COMMON = {"PackageIdentifier": text(ID, 0, 128), "PackageVersion": text(VERSION, 0, 128),
          "ManifestVersion": text(r"^\d+\.\d+\.\d+$")}
SCHEMAS = {
    "version": obj(dict(COMMON, DefaultLocale=text(LOCALE, 0, 20), ManifestType=enum("version")),
                   required=("PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType",
                             "ManifestVersion")),
    "installer": obj(dict(COMMON, **INSTALLER_FIELDS, Installers=array(INSTALLER_ITEM, 1024),
                          ManifestType=enum("installer")),
                     required=("PackageIdentifier", "PackageVersion", "Installers", "ManifestType",
                               "ManifestVersion")),
    "defaultLocale": obj(dict(
        COMMON, PackageLocale=text(LOCALE, 0, 20), Publisher=text(None, 2, 256), PublisherUrl=text(URL, 0, 2048),
        PublisherSupportUrl=text(URL, 0, 2048), Author=text(None, 2, 256), PackageName=text(None, 2, 256),
        PackageUrl=text(URL, 0, 2048), License=text(None, 3, 512), Copyright=text(None, 3, 512),
        ShortDescription=text(None, 3, 256), Moniker=text(None, 1, 40), Tags=array(text(None, 1, 40), 16),
        ManifestType=enum("defaultLocale")),
        required=("PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName", "License",
                  "ShortDescription", "ManifestType", "ManifestVersion")),
}


def problems(value, rule, where):
    """Every way value breaks rule, as texts naming the field."""
    if not isinstance(value, rule["type"]) or (rule["type"] is int and isinstance(value, bool)):
        return [f"{where}: {type(value).__name__} where {rule['type'].__name__} is required"]
    found = []
    if rule["type"] is str:
        if "enum" in rule and value not in rule["enum"]:
            found.append(f"{where}: {value!r} is none of {rule['enum']}")
        if rule.get("pattern") and not re.match(rule["pattern"], value):
            found.append(f"{where}: {value!r} does not match {rule['pattern']}")
        if len(value) < rule.get("min", 0) or (rule.get("max") and len(value) > rule["max"]):
            found.append(f"{where}: length {len(value)} out of range")
    elif rule["type"] is int:
        low, high = rule["range"]
        if not low <= value <= high or value in rule["not"]:
            found.append(f"{where}: {value} not allowed")
    elif rule["type"] is list:
        if len(value) > rule["max"] or len(value) == 0:
            found.append(f"{where}: {len(value)} items")
        if len(value) != len({repr(v) for v in value}):
            found.append(f"{where}: items repeat")
        for i, item in enumerate(value):
            found += problems(item, rule["item"], f"{where}[{i}]")
    else:
        for key in rule["required"]:
            if key not in value:
                found.append(f"{where}: {key} missing")
        for key, item in value.items():
            if key not in rule["fields"]:
                found.append(f"{where}: unknown field {key}")
            else:
                found += problems(item, rule["fields"][key], f"{where}.{key}")
    return found


def load(folder):
    manifests = {}
    for kind, name in NAMES.items():
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            manifests[kind] = yaml.safe_load(f)
    return manifests


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
                self.assertEqual([], problems(manifest, SCHEMAS[kind], f"{label} {kind}"))
                self.assertEqual(MANIFEST_VERSION, manifest["ManifestVersion"])
                self.assertEqual("PelmoSoftware.Memotack", manifest["PackageIdentifier"])
                self.assertEqual("8.0a", manifest["PackageVersion"])
            self.assertEqual(manifests["version"]["DefaultLocale"], manifests["defaultLocale"]["PackageLocale"])

    def test_generated_installers_name_the_built_file(self):
        installers = self.generated["installer"]["Installers"]
        self.assertEqual(["user", "machine"], [i["Scope"] for i in installers])
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
        self.assertEqual(["https://downloads.example/memotack_setup.exe"] * 2,
                         [i["InstallerUrl"] for i in load(other)["installer"]["Installers"]])
        refused = subprocess.run([sys.executable, MAKE_MANIFEST, "--installer", SETUP_EXE, "--out", other, "--url",
                                  "ftp://x"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertNotEqual(0, refused.returncode)

    def test_switches_and_codes_are_the_installers(self):
        manifest = self.generated["installer"]
        self.assertEqual("exe", manifest["InstallerType"])
        self.assertEqual("elevatesSelf", manifest["ElevationRequirement"])
        self.assertEqual({1602: "cancelledByUser", 1603: "contactSupport", 1639: "invalidParameter"},
                         {c["InstallerReturnCode"]: c["ReturnResponse"] for c in manifest["ExpectedReturnCodes"]})
        self.assertEqual([{"DisplayName": "Memotack 8.0a", "Publisher": "Pelmo Software", "ProductCode": "PelmoMemotack",
                           "InstallerType": "exe"}], manifest["AppsAndFeaturesEntries"])
        for installer in manifest["Installers"]:
            switches = installer["InstallerSwitches"]
            self.assertEqual('-path="<INSTALLPATH>"', switches["InstallLocation"])
            self.assertEqual('-log="<LOGPATH>"', switches["Log"])
            self.assertEqual("-silent", switches["Silent"])
            self.assertEqual("-everyone" if installer["Scope"] == "machine" else None, switches.get("Custom"))

    def test_the_checker_catches_what_it_is_meant_to(self):
        bad = dict(self.generated["installer"], ElevationRequirement="elevated", InstallerTpye="exe")
        bad["ExpectedReturnCodes"] = [{"InstallerReturnCode": 0, "ReturnResponse": "cancelled"}]
        del bad["PackageVersion"]
        found = "\n".join(problems(bad, SCHEMAS["installer"], "installer"))
        for expected in ("ElevationRequirement: 'elevated'", "unknown field InstallerTpye", "PackageVersion missing",
                         "InstallerReturnCode: 0 not allowed", "ReturnResponse: 'cancelled'"):
            self.assertIn(expected, found)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
