#!/usr/bin/env python3
"""The release's winget manifest: valid against winget's schema 1.10.0 and in
agreement with the program: its digest, its exit codes and its switches.
usage: winget.py SOURCE_DIR BUILD_DIR"""
import hashlib, pathlib, re, sys
import jsonschema, json, yaml

src, build = (pathlib.Path(a) for a in sys.argv[1:3])
schemas = src / 'tests/host/winget-schema-1.10.0'
files = {'version': None, 'installer': None, 'defaultLocale': None}
for path in (build / 'winget').glob('*.yaml'):
    doc = yaml.safe_load(path.read_text())
    files[doc['ManifestType']] = doc
    schema = json.loads((schemas / f"manifest.{doc['ManifestType']}.1.10.0.json").read_text())
    jsonschema.Draft7Validator(schema).validate(doc)
    assert doc['ManifestVersion'] == '1.10.0', path
assert all(files.values()), f'missing manifest files: {files}'

installer = files['installer']
digest = hashlib.sha256((build / 'setup.exe').read_bytes()).hexdigest().upper()
assert installer['Installers'][0]['InstallerSha256'] == digest, 'digest is not that of setup.exe'

# Every Windows Installer code of the ExitCode enum is expected, and nothing
# else; 1618 (another removal running) is the uninstaller's alone.
enum = re.search(r'enum ExitCode \{(.*?)\}', (src / 'src/shell/messages.h').read_text(), re.S).group(1)
codes = {int(c) for c in re.findall(r'=\s*(-?\d+)', enum) if int(c) >= 1600} - {1618}
expected = {e['InstallerReturnCode'] for e in installer['ExpectedReturnCodes']}
assert expected == codes, f'expected return codes {sorted(expected)}, the program {sorted(codes)}'
assert set(installer['InstallerSuccessCodes']) == {1641, 3010}

# The switches are names in the parser's table.
names = set(re.findall(r'\{"([a-z?]+)", kSwitch', (src / 'src/shell/cmdline.cpp').read_text()))
for mode, value in installer['InstallerSwitches'].items():
    for word in value.split():
        assert re.match(r'/([a-z?]+)', word).group(1) in names, f'{mode}: {word} is no switch of setup.exe'
print('winget manifest valid and in agreement with the program')
