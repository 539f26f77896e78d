// Makes the Wine prefix it runs in trust one certificate authority, as a Windows machine does
// once an administrator has imported it: the authority goes into the local machine's "Root"
// store, which the chain checks of WinInet consult. Authorities of the same name that differ
// from it are removed first, so new test certificates leave no stale trust behind.
//   trust_authority.exe AUTHORITY.cer   (DER)
#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace {

struct CertificateFree {
  void operator()(PCCERT_CONTEXT certificate) const { ::CertFreeCertificateContext(certificate); }
};
struct StoreClose {
  void operator()(HCERTSTORE store) const { ::CertCloseStore(store, 0); }
};

int Fail(const char* what) {
  std::fprintf(stderr, "trust_authority: %s (error 0x%lx)\n", what, ::GetLastError());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: trust_authority AUTHORITY.cer\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::vector<BYTE> encoded((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
  const std::unique_ptr<const CERT_CONTEXT, CertificateFree> authority(
      ::CertCreateCertificateContext(X509_ASN_ENCODING, encoded.data(),
                                     static_cast<DWORD>(encoded.size())));
  if (!authority) return Fail("cannot read the authority's certificate");

  const std::unique_ptr<void, StoreClose> root(
      ::CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root"));
  if (!root) return Fail("cannot open the local machine's Root store");

  // Wine's store may find a deleted certificate again when the search goes on from it: collect
  // first, delete after.
  std::vector<PCCERT_CONTEXT> stale;
  PCCERT_CONTEXT found = nullptr;
  while ((found =
              ::CertFindCertificateInStore(root.get(), X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_NAME,
                                           &authority->pCertInfo->Subject, found))) {
    if (!::CertCompareCertificate(X509_ASN_ENCODING, found->pCertInfo, authority->pCertInfo)) {
      stale.push_back(::CertDuplicateCertificateContext(found));
    }
  }
  for (PCCERT_CONTEXT certificate : stale) {
    // Frees the context, whether it succeeds or not.
    if (!::CertDeleteCertificateFromStore(certificate)) {
      return Fail("cannot remove an old authority");
    }
  }
  if (!::CertAddCertificateContextToStore(root.get(), authority.get(),
                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
    return Fail("cannot add the authority to the Root store");
  }
  // Wine writes the store out when its last reference goes, which a deleted certificate's
  // context keeps alive: without a commit the changes above were lost.
  if (!::CertControlStore(root.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr)) {
    return Fail("cannot write the Root store");
  }
  return 0;
}
