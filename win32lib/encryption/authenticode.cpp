#include "win32lib/encryption/authenticode.h"

#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

namespace win32lib::encryption {

namespace {

// The verification's state lives until WinVerifyTrust is told to close it:
// the signer's certificate belongs to it.
class VerificationState {
public:
    VerificationState(HANDLE file, const std::wstring &path) noexcept
    {
        fileInfo_.cbStruct = sizeof(fileInfo_);
        fileInfo_.pcwszFilePath = path.c_str();
        fileInfo_.hFile = file;
        data_.cbStruct = sizeof(data_);
        data_.dwUIChoice = WTD_UI_NONE;
        data_.fdwRevocationChecks = WTD_REVOKE_NONE;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &fileInfo_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        data_.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
        verdict_ = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    VerificationState(const VerificationState &) = delete;
    VerificationState &operator=(const VerificationState &) = delete;
    ~VerificationState()
    {
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }

    [[nodiscard]] LONG verdict() const noexcept { return verdict_; }

    [[nodiscard]] PCCERT_CONTEXT signingCertificate() const noexcept
    {
        CRYPT_PROVIDER_DATA *provider = ::WTHelperProvDataFromStateData(data_.hWVTStateData);
        CRYPT_PROVIDER_SGNR *signer =
            provider != nullptr ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
        CRYPT_PROVIDER_CERT *certificate = signer != nullptr ? ::WTHelperGetProvCertFromChain(signer, 0) : nullptr;
        return certificate != nullptr ? certificate->pCert : nullptr;
    }

private:
    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO fileInfo_ = {};
    WINTRUST_DATA data_ = {};
    LONG verdict_ = TRUST_E_NOSIGNATURE;
};

std::vector<uint8_t> nameBytes(const CERT_NAME_BLOB &name)
{
    return std::vector<uint8_t>(name.pbData, name.pbData + name.cbData);
}

} // namespace

bool imageCarriesSignature(HMODULE module) noexcept
{
    if (module == nullptr) {
        return false;
    }
    const auto *base = reinterpret_cast<const uint8_t *>(module);
    const auto *dosHeader = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const auto *ntHeaders = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dosHeader->e_lfanew);
    if (ntHeaders->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_SECURITY) {
        return false;
    }
    const IMAGE_DATA_DIRECTORY &security = ntHeaders->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
    return security.VirtualAddress != 0 && security.Size != 0;
}

LONG verifyEmbeddedSignature(HANDLE file, const std::wstring &path, Signer &signer)
{
    const VerificationState state(file, path);
    if (state.verdict() != ERROR_SUCCESS) {
        return state.verdict();
    }
    const PCCERT_CONTEXT certificate = state.signingCertificate();
    // A valid signature always has a signer; without one there is nothing
    // to compare, which must not pass as a match.
    if (certificate == nullptr) {
        return TRUST_E_NO_SIGNER_CERT;
    }
    signer.subject = nameBytes(certificate->pCertInfo->Subject);
    signer.issuer = nameBytes(certificate->pCertInfo->Issuer);
    DWORD digestSize = static_cast<DWORD>(signer.certificateDigest.size());
    if (!::CryptHashCertificate(0, CALG_SHA_256, 0, certificate->pbCertEncoded, certificate->cbCertEncoded,
                                signer.certificateDigest.data(), &digestSize)) {
        return static_cast<LONG>(::GetLastError());
    }
    if (digestSize != signer.certificateDigest.size()) {
        return NTE_BAD_HASH;
    }
    return ERROR_SUCCESS;
}

} // namespace win32lib::encryption
