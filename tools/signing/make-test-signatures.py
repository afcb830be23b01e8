#!/usr/bin/env python3
"""Signs copies of a test program the ways an update may arrive, for the tests
of the agent's installer check:

    make-test-signatures.py OUT_DIR PROGRAM --publisher CERT KEY --authority CERT KEY [--agent EXE]

PROGRAM carries a version record naming it KovarentisSetup.exe, version
9.0.0.0 (tests/net/installer_version.rc). OUT_DIR receives, each a copy of it:
    publisher.exe        signed by the build's publisher (CERT KEY)
    agent.exe            the same at version 1.2.0.0: the running agent's stand-in
    older.exe            the same at version 1.0.0.0, older than any agent here
    self.exe             the same, but named Kovarentis.exe in its record
    nsis-uninstaller.exe the same, carrying the first header of an NSIS uninstaller
                         (not "uninstaller.exe": Wine has a program of that name)
    duplicate.exe        signed by the publisher, its signature carrying a second
                         certificate with the publisher's issuer and serial
    authority-agent.exe  version 1.2.0.0, signed by a certificate with the
                         publisher's exact subject issued by the test authority
                         (which the tests make a trusted root)
    renewed.exe          signed by another such certificate (a renewal)
    wrong-usage.exe      signed by such a certificate made for server
                         authentication rather than code signing
    expired.exe          signed without a timestamp by such a certificate that
                         expired in 2002
    other.exe            signed by a self-signed certificate of another subject
    trusted-other.exe    signed by a certificate of another subject issued by
                         the test authority
    impostor.exe         signed by a self-signed certificate that copies the
                         publisher's subject
    altered.exe          publisher.exe with one byte changed after signing
    kovarentis-under-authority.exe
                         with --agent, a copy of EXE signed like authority-agent.exe
    unsigned.exe         PROGRAM without any signature
and the certificates and keys behind them (made with openssl, never kept
beyond the build folder). Existing files are replaced.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import patch_version  # noqa: E402

SIGN = os.path.join(HERE, "sign.sh")
PROGRAM_VERSION = "9.0.0.0"
EXTENSIONS = """[ code_signing ]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
[ server_auth ]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
"""
# What `openssl ca` needs to issue a certificate with given dates.
CA_CONFIG = """[ ca ]
default_ca = test_ca
[ test_ca ]
database = {work}/index.txt
new_certs_dir = {work}
serial = {work}/serial
default_md = sha256
policy = any
copy_extensions = none
[ any ]
commonName = supplied
organizationName = optional
"""
# The first header of an NSIS uninstaller's data: flags (bit 0: uninstaller),
# the signature 0xDEADBEEF, "NullsoftInst", the length of the header block and
# of all the data that follows (here blank).
NSIS_DATA_LENGTH = 1000
NSIS_UNINSTALLER_HEADER = struct.pack("<II", 1, 0xDEADBEEF) + b"NullsoftInst" + struct.pack("<II", 28, NSIS_DATA_LENGTH)
NSIS_BOUNDARY = 512


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


class Maker:
    def __init__(self, out_dir, work):
        self.out = out_dir
        self.extensions = os.path.join(work, "extensions.cnf")
        with open(self.extensions, "w") as cnf:
            cnf.write(EXTENSIONS)
        self.ca_config = os.path.join(work, "ca.cnf")
        with open(self.ca_config, "w") as cnf:
            cnf.write(CA_CONFIG.format(work=work))
        open(os.path.join(work, "index.txt"), "w").close()
        with open(os.path.join(work, "serial"), "w") as serial:
            serial.write(os.urandom(8).hex() + "\n")
        self.work = work

    def path(self, name):
        return os.path.join(self.out, name)

    def new_key(self, name):
        openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", self.path(name + ".key"))
        return self.path(name + ".key")

    def request(self, name, key, subject=None, copy_subject_of=None):
        csr = os.path.join(self.work, name + ".csr")
        if copy_subject_of:
            # The request carries the certificate's subject byte for byte.
            openssl("x509", "-x509toreq", "-in", copy_subject_of, "-signkey", key, "-out", csr)
        else:
            openssl("req", "-new", "-key", key, "-subj", subject, "-out", csr)
        return csr

    def certificate(self, name, subject=None, copy_subject_of=None, issuer=None, usage="code_signing",
                    serial=None):
        key = self.new_key(name)
        csr = self.request(name, key, subject, copy_subject_of)
        cert = self.path(name + ".pem")
        serial = serial or str(int.from_bytes(os.urandom(8), "big"))
        signing = ["-CA", issuer[0], "-CAkey", issuer[1]] if issuer else ["-signkey", key]
        openssl("x509", "-req", "-in", csr, *signing, "-set_serial", serial, "-days", "3650", "-sha256",
                "-extfile", self.extensions, "-extensions", usage, "-out", cert)
        return (self.chain(name, cert, issuer) if issuer else cert), key

    def expired_certificate(self, name, copy_subject_of, issuer):
        """Valid in 2001 only, issued by `issuer`."""
        key = self.new_key(name)
        csr = self.request(name, key, copy_subject_of=copy_subject_of)
        cert = self.path(name + ".pem")
        openssl("ca", "-batch", "-notext", "-config", self.ca_config, "-cert", issuer[0], "-keyfile", issuer[1],
                "-in", csr, "-out", cert, "-startdate", "20010101000000Z", "-enddate", "20020101000000Z",
                "-extfile", self.extensions, "-extensions", "code_signing")
        return self.chain(name, cert, issuer), key

    def chain(self, name, cert, issuer):
        chain = self.path(name + ".chain.pem")
        with open(chain, "wb") as out:
            for part in (cert, issuer[0]):
                with open(part, "rb") as source:
                    out.write(source.read())
        return chain

    def version(self, program, name, version=None, original_name=None):
        """A copy of the program with another version or OriginalFilename in
        its record (the name no longer than the one it replaces)."""
        with open(program, "rb") as source:
            data = bytearray(source.read())
        if version:
            patch_version.patch_fixed_info(data, PROGRAM_VERSION, version)
            data = patch_version.patch_version_texts(data, PROGRAM_VERSION, version)
        if original_name:
            rename_original(data, original_name)
        target = os.path.join(self.work, name + ".exe")
        with open(target, "wb") as out:
            out.write(data)
        return target

    def signed(self, program, name, cert, key):
        target = self.path(name + ".exe")
        shutil.copyfile(program, target)
        if cert:
            subprocess.run([SIGN, cert, key, target], check=True)
        elif subprocess.run(["osslsigncode", "remove-signature", "-in", program, "-out", target],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
            shutil.copyfile(program, target)  # it had no signature to remove
        return target


def alter_one_byte(path):
    """Flips a byte in the middle of the image, well before the signature
    that osslsigncode appends at the end."""
    with open(path, "r+b") as program:
        data = bytearray(program.read())
        offset = len(data) // 3
        data[offset] ^= 0x01
        program.seek(0)
        program.write(data)


def rename_original(data, name):
    """The OriginalFilename text of the version record, in place: its key,
    padding to four bytes, then the text, UTF-16 with a zero at the end."""
    key = "OriginalFilename\0".encode("utf-16-le")
    old = "KovarentisSetup.exe".encode("utf-16-le")
    start = data.find(key)
    if start < 0 or data.find(key, start + 1) >= 0:
        raise ValueError("expected one OriginalFilename in the version record")
    value = start + len(key)
    value += -value % 4
    if data[value:value + len(old)] != old:
        raise ValueError("the OriginalFilename is not KovarentisSetup.exe")
    data[value:value + len(old)] = name.encode("utf-16-le").ljust(len(old), b"\0")


def with_uninstaller_header(program, work):
    """A copy of the program followed, at the next 512-byte boundary, by the
    first header of an NSIS uninstaller's data."""
    with open(program, "rb") as source:
        data = source.read()
    data += b"\0" * (-len(data) % NSIS_BOUNDARY) + NSIS_UNINSTALLER_HEADER + b"\0" * NSIS_DATA_LENGTH
    data += b"\0" * (-len(data) % 8)  # where the signature goes, as a PE file wants it
    target = os.path.join(work, "uninstaller-unsigned.exe")
    with open(target, "wb") as out:
        out.write(data)
    return target


def serial_of(cert):
    out = subprocess.run(["openssl", "x509", "-in", cert, "-noout", "-serial"], check=True,
                         capture_output=True, text=True).stdout
    return "0x" + out.strip().split("=", 1)[1]


def with_second_certificate(maker, publisher_cert):
    """The publisher's certificate followed by a self-signed one with its
    subject (so its issuer) and its serial."""
    twin, _ = maker.certificate("twin-cert", copy_subject_of=publisher_cert, serial=serial_of(publisher_cert))
    bag = maker.path("duplicate.chain.pem")
    with open(bag, "wb") as out:
        for part in (publisher_cert, twin):
            with open(part, "rb") as source:
                out.write(source.read())
    return bag


def sign_publisher_variants(maker, program, publisher):
    cert, key = publisher
    maker.signed(program, "unsigned", None, None)
    maker.signed(program, "publisher", cert, key)
    alter_one_byte(maker.signed(program, "altered", cert, key))
    maker.signed(maker.version(program, "agent", version="1.2.0.0"), "agent", cert, key)
    maker.signed(maker.version(program, "older", version="1.0.0.0"), "older", cert, key)
    maker.signed(maker.version(program, "self", original_name="Kovarentis.exe"), "self", cert, key)
    maker.signed(with_uninstaller_header(program, maker.work), "nsis-uninstaller", cert, key)
    maker.signed(program, "duplicate", with_second_certificate(maker, cert), key)


def sign_authority_variants(maker, program, publisher_cert, authority, agent=None):
    def under_authority(name, **options):
        return maker.certificate(name, copy_subject_of=publisher_cert, issuer=authority, **options)
    authority_publisher = under_authority("authority-publisher-cert")
    maker.signed(maker.version(program, "authority-agent", version="1.2.0.0"), "authority-agent",
                 *authority_publisher)
    if agent:
        maker.signed(agent, "kovarentis-under-authority", *authority_publisher)
    maker.signed(program, "renewed", *under_authority("renewed-cert"))
    maker.signed(program, "wrong-usage", *under_authority("wrong-usage-cert", usage="server_auth"))
    maker.signed(program, "expired", *maker.expired_certificate("expired-cert", publisher_cert, authority))
    maker.signed(program, "trusted-other",
                 *maker.certificate("trusted-other-cert", subject="/CN=Another Trusted Publisher", issuer=authority))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out_dir")
    parser.add_argument("program")
    parser.add_argument("--publisher", nargs=2, metavar=("CERT", "KEY"), required=True)
    parser.add_argument("--authority", nargs=2, metavar=("CERT", "KEY"), required=True)
    parser.add_argument("--agent", help="the agent's executable, to be signed under the authority as well")
    args = parser.parse_args(argv)
    os.makedirs(args.out_dir, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=args.out_dir) as work:
        maker = Maker(args.out_dir, work)
        publisher_cert = args.publisher[0]
        sign_publisher_variants(maker, args.program, args.publisher)
        sign_authority_variants(maker, args.program, publisher_cert, args.authority, args.agent)
        maker.signed(args.program, "impostor", *maker.certificate("impostor-cert", copy_subject_of=publisher_cert))
        maker.signed(args.program, "other",
                     *maker.certificate("other-cert", subject="/CN=Another Publisher/O=Elsewhere"))
    print(f"make-test-signatures: signed copies of {os.path.basename(args.program)} in {args.out_dir}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
