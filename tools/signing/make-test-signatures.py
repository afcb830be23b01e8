#!/usr/bin/env python3
"""Signs copies of a test program the ways an update may arrive, for the tests
of the agent's installer check:

    make-test-signatures.py OUT_DIR PROGRAM --publisher CERT KEY --authority CERT KEY

OUT_DIR receives, each a copy of PROGRAM:
    publisher.exe       signed by the build's publisher (CERT KEY)
    renewed.exe         signed by a new certificate with the publisher's exact
                        subject, issued by the test authority (which the tests
                        make a trusted root)
    other.exe           signed by a self-signed certificate of another subject
    trusted-other.exe   signed by a certificate of another subject issued by
                        the test authority
    impostor.exe        signed by a self-signed certificate that copies the
                        publisher's subject
    altered.exe         publisher.exe with one byte changed after signing
    unsigned.exe        PROGRAM without any signature
and the certificates and keys behind them (made with openssl, never kept
beyond the build folder). Existing files are replaced.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SIGN = os.path.join(HERE, "sign.sh")
CODE_SIGNING = """[ code_signing ]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
"""


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


class Maker:
    def __init__(self, out_dir, work):
        self.out = out_dir
        self.extensions = os.path.join(work, "code_signing.cnf")
        with open(self.extensions, "w") as cnf:
            cnf.write(CODE_SIGNING)
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

    def certificate(self, name, subject=None, copy_subject_of=None, issuer=None):
        key = self.new_key(name)
        csr = self.request(name, key, subject, copy_subject_of)
        cert = self.path(name + ".pem")
        signing = ["-CA", issuer[0], "-CAkey", issuer[1], "-set_serial", str(int.from_bytes(os.urandom(8), "big"))] \
            if issuer else ["-signkey", key]
        openssl("x509", "-req", "-in", csr, *signing, "-days", "3650", "-sha256",
                "-extfile", self.extensions, "-extensions", "code_signing", "-out", cert)
        if issuer:
            chain = self.path(name + ".chain.pem")
            with open(chain, "wb") as out:
                for part in (cert, issuer[0]):
                    with open(part, "rb") as source:
                        out.write(source.read())
            cert = chain
        return cert, key

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


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out_dir")
    parser.add_argument("program")
    parser.add_argument("--publisher", nargs=2, metavar=("CERT", "KEY"), required=True)
    parser.add_argument("--authority", nargs=2, metavar=("CERT", "KEY"), required=True)
    args = parser.parse_args(argv)
    os.makedirs(args.out_dir, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=args.out_dir) as work:
        maker = Maker(args.out_dir, work)
        publisher_cert, publisher_key = args.publisher
        maker.signed(args.program, "unsigned", None, None)
        maker.signed(args.program, "publisher", publisher_cert, publisher_key)
        altered = maker.signed(args.program, "altered", publisher_cert, publisher_key)
        alter_one_byte(altered)
        maker.signed(args.program, "renewed",
                     *maker.certificate("renewed-cert", copy_subject_of=publisher_cert, issuer=args.authority))
        maker.signed(args.program, "impostor",
                     *maker.certificate("impostor-cert", copy_subject_of=publisher_cert))
        maker.signed(args.program, "other",
                     *maker.certificate("other-cert", subject="/CN=Another Publisher/O=Elsewhere"))
        maker.signed(args.program, "trusted-other",
                     *maker.certificate("trusted-other-cert", subject="/CN=Another Trusted Publisher",
                                        issuer=args.authority))
    print(f"make-test-signatures: signed copies of {os.path.basename(args.program)} in {args.out_dir}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
