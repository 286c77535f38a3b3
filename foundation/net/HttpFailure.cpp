// The kinds of network failure and the one Spanish sentence the user reads for each of them and
// for every status a server may answer with.

#include <windows.h>
#include <winhttp.h>

#include <string>

#include "foundation/net/Http.h"

namespace Lorvex::Http {

namespace {

// Winsock's numbers, which the platform also reports through WinHTTP (Wine does for time-outs).
constexpr uint32_t kSocketTimedOut = 10060;      // WSAETIMEDOUT
constexpr uint32_t kSocketHostNotFound = 11001;  // WSAHOST_NOT_FOUND
constexpr uint32_t kSocketTryAgain = 11002;      // WSATRY_AGAIN
constexpr uint32_t kSocketNoData = 11004;        // WSANO_DATA
// Secure-channel errors of WinHTTP; older headers lack some of them.
constexpr uint32_t kSecureCodes[] = {
    12037,  // ERROR_WINHTTP_SECURE_CERT_DATE_INVALID
    12038,  // ERROR_WINHTTP_SECURE_CERT_CN_INVALID
    12044,  // ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED
    12045,  // ERROR_WINHTTP_SECURE_INVALID_CA
    12057,  // ERROR_WINHTTP_SECURE_CERT_REV_FAILED
    12157,  // ERROR_WINHTTP_SECURE_CHANNEL_ERROR
    12169,  // ERROR_WINHTTP_SECURE_INVALID_CERT
    12170,  // ERROR_WINHTTP_SECURE_CERT_REVOKED
    12175,  // ERROR_WINHTTP_SECURE_FAILURE
    12179,  // ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE
    12185,  // ERROR_WINHTTP_CLIENT_CERT_NO_PRIVATE_KEY
    12186,  // ERROR_WINHTTP_CLIENT_CERT_NO_ACCESS_PRIVATE_KEY
};

}  // namespace

Failure FailureOfCode(uint32_t code, bool readingBody) {
    if (code == ERROR_WINHTTP_TIMEOUT || code == kSocketTimedOut) {
        return Failure::Timeout;
    }
    if (code == ERROR_WINHTTP_NAME_NOT_RESOLVED || code == kSocketHostNotFound || code == kSocketTryAgain ||
        code == kSocketNoData) {
        return Failure::NameNotResolved;
    }
    for (const uint32_t secure : kSecureCodes) {
        if (code == secure) {
            return Failure::Secure;
        }
    }
    // Once the answer has begun, a broken connection cuts it; before, there was no answer at all.
    return readingBody ? Failure::Cut : Failure::NoConnection;
}

std::wstring StatusSentence(uint32_t status) {
    const std::wstring number = L" (error " + std::to_wstring(status) + L")";
    if (status == 401 || status == 403) {
        return L"El servidor no permitió el acceso" + number;
    }
    if (status == 404) {
        return L"El servidor no encontró lo pedido" + number;
    }
    if (status == 408 || status == 504) {
        return L"El servidor tardó demasiado en responder" + number;
    }
    if (status == 413) {
        return L"Lo enviado es demasiado grande para el servidor" + number;
    }
    if (status == 429) {
        return L"El servidor pide esperar un momento" + number;
    }
    if (status >= 500 && status <= 599) {
        return L"El servidor tuvo un fallo" + number;
    }
    if (status >= 400 && status <= 499) {
        return L"El servidor rechazó la petición" + number;
    }
    return L"Respuesta inesperada del servidor" + number;
}

std::wstring ErrorSentence(const Response& response) {
    switch (response.failure) {
    case Failure::InvalidUrl:
        return L"La dirección del servidor no es válida";
    case Failure::NameNotResolved:
        return L"No se encontró el servidor; revisa la conexión a internet";
    case Failure::Timeout:
        return L"El servidor tardó demasiado en responder";
    case Failure::Secure:
        return L"No se pudo establecer una conexión segura con el servidor";
    case Failure::Cut:
        return L"La conexión se cortó antes de recibir toda la respuesta";
    case Failure::WriteFailed:
        return L"No se pudo guardar lo recibido";
    case Failure::Cancelled:
        return L"Se canceló la transferencia";
    case Failure::NoConnection:
        return L"Sin conexión con el servidor";
    case Failure::None:
        break;
    }
    if (response.status == 0) {
        return L"Sin conexión con el servidor";
    }
    return StatusSentence(response.status);
}

}  // namespace Lorvex::Http
