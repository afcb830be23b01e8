// Before any test runs, the stand-in's test CA becomes a trusted root of the
// current user, as a real authority would be on a consultant's machine. The
// DER file is named by KOV_TEST_CA_DER.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

class SystemStore {
public:
    explicit SystemStore(const char* name) : store_(CertOpenSystemStoreA(0, name)) {}
    ~SystemStore() {
        if (store_ != nullptr) {
            CertCloseStore(store_, 0);
        }
    }
    SystemStore(const SystemStore&) = delete;
    SystemStore& operator=(const SystemStore&) = delete;
    HCERTSTORE Get() const { return store_; }

private:
    HCERTSTORE store_;
};

class TrustedTestCa : public ::testing::Environment {
public:
    void SetUp() override {
        const char* path = std::getenv("KOV_TEST_CA_DER");
        ASSERT_NE(path, nullptr) << "KOV_TEST_CA_DER names the test CA's DER file";
        std::ifstream file(path, std::ios::binary);
        const std::string der{std::istreambuf_iterator<char>(file), {}};
        ASSERT_FALSE(der.empty()) << "cannot read " << path;

        SystemStore root("Root");
        ASSERT_NE(root.Get(), nullptr) << "cannot open the Root store: " << GetLastError();
        ASSERT_TRUE(CertAddEncodedCertificateToStore(
            root.Get(), X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
            static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
            << "cannot add the test CA: " << GetLastError();
    }
};

const auto* const kTrustedTestCa = ::testing::AddGlobalTestEnvironment(new TrustedTestCa);

}  // namespace
