#include "input/net/tls.h"

#include "input/net/io_failure.h"

#include "brevora_audio.h"

#include <mbedtls/ctr_drbg.h>
#include <mbedtls/entropy.h>
#include <mbedtls/error.h>
#include <mbedtls/net_sockets.h>
#include <mbedtls/ssl.h>
#include <mbedtls/x509_crt.h>

#ifdef _WIN32
#include <windows.h>
#include <wincrypt.h>
#endif

namespace audio {

namespace {

#ifndef _WIN32
const char system_ca_bundle[] = "/etc/ssl/certs/ca-certificates.crt";
#endif

// Loads the trust roots; false when none could be loaded.
bool load_roots(mbedtls_x509_crt *roots, const std::string &ca_file) {
    if (!ca_file.empty()) {
        return mbedtls_x509_crt_parse_file(roots, ca_file.c_str()) >= 0 && roots->version != 0;
    }
#ifdef _WIN32
    HCERTSTORE store = CertOpenSystemStoreA(0, "ROOT");
    if (!store) {
        return false;
    }
    const CERT_CONTEXT *certificate = nullptr;
    while ((certificate = CertEnumCertificatesInStore(store, certificate)) != nullptr) {
        if (certificate->dwCertEncodingType & X509_ASN_ENCODING) {
            // A root mbedTLS cannot parse is skipped; the others still count.
            mbedtls_x509_crt_parse_der(roots, certificate->pbCertEncoded,
                                       certificate->cbCertEncoded);
        }
    }
    CertCloseStore(store, 0);
    return roots->version != 0;
#else
    mbedtls_x509_crt_parse_file(roots, system_ca_bundle);
    return roots->version != 0;
#endif
}

class tls_transport : public transport {
  public:
    explicit tls_transport(std::unique_ptr<transport> inner) : inner_(std::move(inner)) {
        mbedtls_ssl_init(&ssl_);
        mbedtls_ssl_config_init(&config_);
        mbedtls_x509_crt_init(&roots_);
        mbedtls_ctr_drbg_init(&random_);
        mbedtls_entropy_init(&entropy_);
    }
    ~tls_transport() override {
        mbedtls_ssl_free(&ssl_);
        mbedtls_ssl_config_free(&config_);
        mbedtls_x509_crt_free(&roots_);
        mbedtls_ctr_drbg_free(&random_);
        mbedtls_entropy_free(&entropy_);
    }
    tls_transport(const tls_transport &) = delete;
    tls_transport &operator=(const tls_transport &) = delete;

    bool handshake(const std::string &host, const std::string &ca_file,
                   clock_type::time_point deadline, connect_failure *failure) {
        *failure = {BASS_ERROR_SSL, "TLS set-up failed"};
        const char personalisation[] = "brevora";
        if (mbedtls_ctr_drbg_seed(&random_, mbedtls_entropy_func, &entropy_,
                                  reinterpret_cast<const unsigned char *>(personalisation),
                                  sizeof personalisation - 1) != 0 ||
            mbedtls_ssl_config_defaults(&config_, MBEDTLS_SSL_IS_CLIENT,
                                        MBEDTLS_SSL_TRANSPORT_STREAM,
                                        MBEDTLS_SSL_PRESET_DEFAULT) != 0) {
            return false;
        }
        if (!load_roots(&roots_, ca_file)) {
            failure->reason = "no trust roots";
            return false;
        }
        mbedtls_ssl_conf_authmode(&config_, MBEDTLS_SSL_VERIFY_REQUIRED);
        mbedtls_ssl_conf_ca_chain(&config_, &roots_, nullptr);
        mbedtls_ssl_conf_rng(&config_, mbedtls_ctr_drbg_random, &random_);
        if (mbedtls_ssl_setup(&ssl_, &config_) != 0 ||
            mbedtls_ssl_set_hostname(&ssl_, host.c_str()) != 0) {
            return false;
        }
        mbedtls_ssl_set_bio(&ssl_, this, send_callback, receive_callback, nullptr);
        deadline_ = deadline;
        int result;
        while ((result = mbedtls_ssl_handshake(&ssl_)) != 0) {
            if (result == MBEDTLS_ERR_SSL_WANT_READ || result == MBEDTLS_ERR_SSL_WANT_WRITE) {
                continue;
            }
            if (wait_ended(last_inner_status_)) {
                *failure = wait_failure(last_inner_status_, "in the TLS handshake");
            } else {
                char text[160];
                mbedtls_strerror(result, text, sizeof text);
                failure->reason = text;
            }
            return false;
        }
        return true;
    }

    io_result read_some(uint8_t *buffer, size_t size, clock_type::time_point deadline) override {
        deadline_ = deadline;
        for (;;) {
            int result = mbedtls_ssl_read(&ssl_, buffer, size);
            if (result > 0) {
                return {io_status::ok, static_cast<size_t>(result)};
            }
            if (result == 0 || result == MBEDTLS_ERR_SSL_PEER_CLOSE_NOTIFY) {
                return {io_status::closed};
            }
            if (result != MBEDTLS_ERR_SSL_WANT_READ && result != MBEDTLS_ERR_SSL_WANT_WRITE) {
                return {inner_failure()};
            }
        }
    }

    io_result write_all(const uint8_t *data, size_t size,
                        clock_type::time_point deadline) override {
        deadline_ = deadline;
        size_t written = 0;
        while (written < size) {
            int result = mbedtls_ssl_write(&ssl_, data + written, size - written);
            if (result > 0) {
                written += static_cast<size_t>(result);
            } else if (result != MBEDTLS_ERR_SSL_WANT_READ &&
                       result != MBEDTLS_ERR_SSL_WANT_WRITE) {
                return {inner_failure(), written};
            }
        }
        return {io_status::ok, written};
    }

  private:
    io_status inner_failure() const {
        return last_inner_status_ == io_status::ok ? io_status::failed : last_inner_status_;
    }

    static int send_callback(void *context, const unsigned char *data, size_t size) {
        auto *self = static_cast<tls_transport *>(context);
        io_result result = self->inner_->write_all(data, size, self->deadline_);
        self->last_inner_status_ = result.status;
        return result.status == io_status::ok ? static_cast<int>(size)
                                              : MBEDTLS_ERR_NET_SEND_FAILED;
    }

    static int receive_callback(void *context, unsigned char *buffer, size_t size) {
        auto *self = static_cast<tls_transport *>(context);
        io_result result = self->inner_->read_some(buffer, size, self->deadline_);
        self->last_inner_status_ = result.status;
        if (result.status == io_status::ok) {
            return static_cast<int>(result.bytes);
        }
        return result.status == io_status::closed ? 0 : MBEDTLS_ERR_NET_RECV_FAILED;
    }

    std::unique_ptr<transport> inner_;
    clock_type::time_point deadline_{};
    io_status last_inner_status_ = io_status::ok;
    mbedtls_ssl_context ssl_;
    mbedtls_ssl_config config_;
    mbedtls_x509_crt roots_;
    mbedtls_ctr_drbg_context random_;
    mbedtls_entropy_context entropy_;
};

} // namespace

std::unique_ptr<transport> start_tls(std::unique_ptr<transport> inner, const std::string &host,
                                     const std::string &ca_file, clock_type::time_point deadline,
                                     connect_failure *failure) {
    auto connection = std::make_unique<tls_transport>(std::move(inner));
    if (!connection->handshake(host, ca_file, deadline, failure)) {
        return nullptr;
    }
    return connection;
}

} // namespace audio
