#include "download/shared_ca_store.h"

#include <QByteArrayView>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

namespace {
// The built-in places libcurl would read, loaded once; null when there is
// nothing to share.
X509_STORE* LoadSharedStore(CURL* easy)
{
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    if (!info->ssl_version || !QByteArrayView(info->ssl_version).startsWith("OpenSSL/"))
        return nullptr;
    char* file = nullptr;
    char* folder = nullptr;
    curl_easy_getinfo(easy, CURLINFO_CAINFO, &file);
    curl_easy_getinfo(easy, CURLINFO_CAPATH, &folder);
    if (!file && !folder)
        return nullptr;
    X509_STORE* store = X509_STORE_new();
    const bool loaded = store && (!file || X509_STORE_load_file(store, file) == 1)
        && (!folder || X509_STORE_load_path(store, folder) == 1);
    if (!loaded) {
        X509_STORE_free(store);
        return nullptr;
    }
    // What libcurl sets on a store of its own.
    X509_STORE_set_flags(store, X509_V_FLAG_PARTIAL_CHAIN | X509_V_FLAG_TRUSTED_FIRST);
    return store;
}

CURLcode UseStore(CURL*, void* context, void* store)
{
    SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(context), static_cast<X509_STORE*>(store));
    return CURLE_OK;
}
}

bool UseSharedCaStore(CURL* easy)
{
    static X509_STORE* const store = LoadSharedStore(easy);
    if (!store)
        return false;
    if (curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, store) != CURLE_OK
        || curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &UseStore) != CURLE_OK)
        return false;
    // Nothing left for libcurl to read: the store comes with each TLS context.
    curl_easy_setopt(easy, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    return true;
}
