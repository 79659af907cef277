#!/usr/bin/env python3
"""Makes the throw-away certificates of the local test services, and the registry file that lets
only the test Wine prefixes trust the test CA.

    make-certs.py <certificate folder> <.reg file>

The certificates are made once per folder (only when missing), so the registry file keeps its
content, and the Wine wrapper imports it only once per prefix. Nothing is written outside the two
paths given; the machine's trust store is never touched.

Made with openssl, each key RSA 2048, every server certificate for the name "localhost":
  ca.pem/.key            the test CA (trusted by the prefixes through the .reg file)
  trusted.pem/.key       signed by the test CA
  selfsigned.pem/.key    self-signed
  otherca.pem/.key       a CA that nobody trusts
  unknownca.pem/.key     signed by otherca
"""

import hashlib
import os
import shutil
import ssl
import subprocess
import sys
import tempfile

SERVER_EXTENSIONS = """basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost
subjectKeyIdentifier=hash
"""
FILES = ("ca.pem", "trusted.pem", "trusted.key", "selfsigned.pem", "selfsigned.key", "unknownca.pem", "unknownca.key")


def openssl(*args, cwd):
    subprocess.run(("openssl",) + args, cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_ca(name, subject, cwd):
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "3650",
            "-keyout", name + ".key", "-out", name + ".pem", "-subj", subject,
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            "-addext", "subjectKeyIdentifier=hash", cwd=cwd)


def make_server(name, ca, serial, cwd):
    openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".csr",
            "-subj", "/CN=localhost", cwd=cwd)
    openssl("x509", "-req", "-in", name + ".csr", "-CA", ca + ".pem", "-CAkey", ca + ".key",
            "-set_serial", str(serial), "-sha256", "-days", "3650", "-extfile", "server.ext",
            "-out", name + ".pem", cwd=cwd)


def make_self_signed(name, cwd):
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "3650",
            "-keyout", name + ".key", "-out", name + ".pem", "-subj", "/CN=localhost",
            "-addext", "subjectAltName=DNS:localhost",
            "-addext", "extendedKeyUsage=serverAuth", cwd=cwd)


def make_certificates(folder):
    parent = os.path.dirname(os.path.abspath(folder))
    os.makedirs(parent, exist_ok=True)
    work = tempfile.mkdtemp(prefix=".certs-", dir=parent)
    try:
        with open(os.path.join(work, "server.ext"), "w", encoding="ascii") as ext:
            ext.write(SERVER_EXTENSIONS)
        make_ca("ca", "/CN=Local Test Services Root CA", work)
        make_ca("otherca", "/CN=Untrusted Test CA", work)
        make_server("trusted", "ca", 1001, work)
        make_server("unknownca", "otherca", 2001, work)
        make_self_signed("selfsigned", work)
        shutil.rmtree(folder, ignore_errors=True)
        os.replace(work, folder)
    except BaseException:
        shutil.rmtree(work, ignore_errors=True)
        raise


def registry_text(ca_pem):
    """HKCU root store entry: value "Blob" holds the certificate property (id 0x20, reserved 1,
    length, DER bytes); the key name is the upper-case SHA-1 of the DER."""
    der = ssl.PEM_cert_to_DER_cert(ca_pem)
    blob = (0x20).to_bytes(4, "little") + (1).to_bytes(4, "little") + len(der).to_bytes(4, "little") + der
    cells = ["%02x" % b for b in blob]
    lines = [",".join(cells[i:i + 25]) for i in range(0, len(cells), 25)]
    return ("Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\%s]\r\n"
            "\"Blob\"=hex:%s\r\n" % (hashlib.sha1(der).hexdigest().upper(), ",\\\r\n  ".join(lines)))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    folder, reg_path = sys.argv[1], sys.argv[2]
    if not all(os.path.exists(os.path.join(folder, f)) for f in FILES):
        make_certificates(folder)
    with open(os.path.join(folder, "ca.pem"), encoding="ascii") as pem:
        text = registry_text(pem.read())
    try:
        with open(reg_path, encoding="ascii", newline="") as old:
            if old.read() == text:
                return
    except OSError:
        pass
    os.makedirs(os.path.dirname(os.path.abspath(reg_path)), exist_ok=True)
    with open(reg_path, "w", encoding="ascii", newline="") as reg:
        reg.write(text)


if __name__ == "__main__":
    main()
