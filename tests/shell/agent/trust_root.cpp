// Makes a certificate (DER file named by the only argument) a trusted root of
// the current user, as a real authority is on a consultant's machine: the
// update journeys sign an installer with a renewed publisher certificate
// issued by the test authority.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: trust_root CERT.der\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::string der{std::istreambuf_iterator<char>(file), {}};
    if (der.empty()) {
        std::fprintf(stderr, "trust_root: cannot read %s\n", argv[1]);
        return 1;
    }
    const HCERTSTORE root = CertOpenSystemStoreA(0, "Root");
    if (root == nullptr) return 1;
    const BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING,
                                                        reinterpret_cast<const BYTE*>(der.data()),
                                                        static_cast<DWORD>(der.size()),
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    CertCloseStore(root, 0);
    return added ? 0 : 1;
}
