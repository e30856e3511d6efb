#pragma once
// The bytes of the cameras' two password requests and of their replies: the
// /ModifyPassword and /ModifyIntegrateUser bodies and the success test of a reply body. Pure functions
// over bytes, shared by the password dialog, the tests and the fuzzer.

#include <QByteArray>
#include <QString>

class tcPasswordRequests
{
public:
    tcPasswordRequests() = delete;

    // Standard Base64 of the UTF-8 bytes of a password, as both bodies carry it.
    static QString passwordBase64(const QString& password);

    // Body of /ModifyPassword, by which a user changes their own password.
    static QByteArray modifyPasswordBody(const QString& oldPasswordB64, const QString& newPasswordB64);

    // Body of /ModifyIntegrateUser, by which an administrator sets targetUser's password.
    static QByteArray modifyIntegrateUserBody(const QString& targetUser, const QString& newPasswordB64);

    // True when the reply body, up to its first zero byte, holds ="success" in any letter case.
    static bool isSuccess(const QByteArray& body);
};
