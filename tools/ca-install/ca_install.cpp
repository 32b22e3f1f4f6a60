// ca-install <pem>: adds the certificate to the current user's "Root" store, so
// WinHTTP in this prefix (64- and 32-bit programs alike) trusts servers it
// signed, and reads it back from a fresh handle to the store. Exit code 0 only
// when the store keeps it. (Under Wine 10 the LocalMachine store accepts the
// certificate and then does not keep it.)
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

namespace {

int fail(const char* what) {
    std::fprintf(stderr, "ca-install: %s failed (error %lu)\n", what, GetLastError());
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ca-install <certificate.pem>\n");
        return 2;
    }
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail("opening the certificate file");
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0 || size.QuadPart > (1 << 20)) {
        CloseHandle(file);
        return fail("reading the certificate size");
    }
    std::vector<char> pem(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    BOOL readOk = ReadFile(file, pem.data(), static_cast<DWORD>(pem.size()), &read, nullptr);
    CloseHandle(file);
    if (!readOk || read != pem.size()) return fail("reading the certificate");

    DWORD derSize = 0;
    if (!CryptStringToBinaryA(pem.data(), read, CRYPT_STRING_BASE64HEADER, nullptr, &derSize,
                              nullptr, nullptr))
        return fail("decoding the PEM text");
    std::vector<BYTE> der(derSize);
    if (!CryptStringToBinaryA(pem.data(), read, CRYPT_STRING_BASE64HEADER, der.data(), &derSize,
                              nullptr, nullptr))
        return fail("decoding the PEM text");

    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                     CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (!store) return fail("opening the Root store");
    BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), derSize,
                                                  CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    DWORD error = GetLastError();
    CertCloseStore(store, 0);
    if (!added) {
        SetLastError(error);
        return fail("adding the certificate");
    }

    PCCERT_CONTEXT wanted = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), derSize);
    if (!wanted) return fail("reading the certificate");
    store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                          CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"Root");
    PCCERT_CONTEXT found = store ? CertFindCertificateInStore(store, X509_ASN_ENCODING, 0,
                                                              CERT_FIND_EXISTING, wanted, nullptr)
                                 : nullptr;
    if (found) CertFreeCertificateContext(found);
    if (store) CertCloseStore(store, 0);
    CertFreeCertificateContext(wanted);
    if (!found) {
        std::fprintf(stderr, "ca-install: the Root store does not keep the certificate\n");
        return 1;
    }
    return 0;
}
