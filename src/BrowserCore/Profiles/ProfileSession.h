#pragma once

// What the profile store tells the browser session: which website data to
// use, and every value the current profile may type, by site. The store
// keeps the real session only weakly (SessionLink); tests give it a
// stand-in.

#include "BrowserCore/Secrets/TOTP.h"
#include "BrowserCore/Session/BrowserSession.h"

#include <map>
#include <memory>
#include <string>

namespace vesk {

class ProfileSession {
public:
    using Variables = std::map<std::string, std::map<std::string, std::string>>;
    using OTPKeys = std::map<std::string, std::map<std::string, TOTP>>;

    virtual ~ProfileSession() = default;

    // Whether there is still a session to tell.
    virtual bool isAlive() const = 0;
    virtual void useProfile(const BrowserSession::Profile& profile) = 0;
    virtual void setVariables(Variables variables) = 0;
    virtual void setOTPKeys(OTPKeys keys) = 0;
    // Site → reference name → why the keychain could not give its value.
    virtual void setUnreadableValues(Variables problems) = 0;
};

// The real session, held weakly: once it is gone, nothing is told.
class SessionLink final : public ProfileSession {
public:
    explicit SessionLink(std::weak_ptr<BrowserSession> session) : session_(std::move(session)) {}

    std::shared_ptr<BrowserSession> session() const { return session_.lock(); }

    bool isAlive() const override { return !session_.expired(); }
    void useProfile(const BrowserSession::Profile& profile) override {
        if (auto session = session_.lock()) session->useProfile(profile);
    }
    void setVariables(Variables variables) override {
        if (auto session = session_.lock()) session->setVariables(std::move(variables));
    }
    void setOTPKeys(OTPKeys keys) override {
        if (auto session = session_.lock()) session->otpKeys.set(std::move(keys));
    }
    void setUnreadableValues(Variables problems) override {
        if (auto session = session_.lock()) session->unreadableValues.set(std::move(problems));
    }

private:
    std::weak_ptr<BrowserSession> session_;
};

} // namespace vesk
