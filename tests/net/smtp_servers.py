#!/usr/bin/python3
"""Real mail servers (aiosmtpd) on free loopback ports for the mail sender's tests.

  smtp_servers.py start DIR   starts them in the background and returns once they listen
  smtp_servers.py stop DIR    ends them

DIR receives plain.port, login.port, cram.port, tls.port, tlsca.port and tlsname.port, and for every mail accepted two files in DIR/mailbox:
NNNN.eml (the message bytes as the server received them, after the dialogue's dot transparency is undone)
and NNNN.env (lines "server=", "helo=", "from=", "to=" per receiver and "auth=" with the authenticated user).
The login and cram servers require authentication as user "mailer" with password "s3cret pass", the tls servers
STARTTLS and offer the same authentication after it. "tls" shows a self-signed certificate; "tlsca" and "tlsname" one of a
test authority made here (DIR/ca.pem), naming 127.0.0.1 and localhost ("tlsca") or only another host ("tlsname").
"""
import base64
import hashlib
import hmac
import os
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import time

USER = b"mailer"
PASSWORD = b"s3cret pass"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def serve(folder):
    from aiosmtpd.controller import Controller
    from aiosmtpd.smtp import AuthResult, LoginPassword

    mailbox = os.path.join(folder, "mailbox")
    os.makedirs(mailbox, exist_ok=True)
    counter = [0]

    class Recorder:
        def __init__(self, name):
            self.name = name

        async def handle_DATA(self, server, session, envelope):
            counter[0] += 1
            stem = os.path.join(mailbox, "%s-%04d" % (self.name, counter[0]))
            lines = ["server=" + self.name, "helo=" + str(session.host_name), "from=" + envelope.mail_from]
            lines += ["to=" + r for r in envelope.rcpt_tos]
            user = session.auth_data.login.decode() if isinstance(session.auth_data, LoginPassword) else (
                session.auth_data.decode() if isinstance(session.auth_data, bytes) else "")
            lines.append("auth=" + user)
            lines.append("tls=%d" % (session.ssl is not None))
            with open(stem + ".eml.tmp", "wb") as f:
                f.write(envelope.original_content)
            with open(stem + ".env", "w") as f:
                f.write("\n".join(lines) + "\n")
            os.rename(stem + ".eml.tmp", stem + ".eml")
            return "250 OK queued as %s-%04d" % (self.name, counter[0])

    class CramRecorder(Recorder):
        async def auth_CRAM__MD5(self, server, args):
            challenge = ("<%d.%d@loopback>" % (os.getpid(), time.time_ns())).encode()
            response = await server.challenge_auth(challenge)
            if not isinstance(response, bytes):
                return AuthResult(success=False, handled=False)
            user, _, digest = response.partition(b" ")
            expected = hmac.new(PASSWORD, challenge, hashlib.md5).hexdigest().encode()
            ok = user == USER and hmac.compare_digest(digest, expected)
            return AuthResult(success=ok, handled=False, auth_data=b"cram:" + user)

    def check_login(server, session, envelope, mechanism, auth_data):
        ok = isinstance(auth_data, LoginPassword) and auth_data.login == USER and auth_data.password == PASSWORD
        return AuthResult(success=ok, auth_data=auth_data)

    def openssl(*arguments):
        subprocess.run(["openssl"] + list(arguments), check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def context_of(certificate, key):
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(certificate, key)
        return context

    def path(name):
        return os.path.join(folder, name)

    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", path("key.pem"), "-out", path("cert.pem"),
            "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost")
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", path("ca.key"), "-out", path("ca.pem"),
            "-days", "2", "-subj", "/CN=Orvik Test Authority", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    for name, names in (("tlsca", "IP:127.0.0.1,DNS:localhost"), ("tlsname", "DNS:elsewhere.loopback.test")):
        openssl("req", "-x509", "-CA", path("ca.pem"), "-CAkey", path("ca.key"), "-newkey", "rsa:2048", "-nodes",
                "-keyout", path(name + ".key"), "-out", path(name + ".pem"), "-days", "2", "-subj", "/CN=" + name,
                "-addext", "subjectAltName=" + names, "-addext", "basicConstraints=CA:FALSE",
                "-addext", "extendedKeyUsage=serverAuth")
    context = context_of(path("cert.pem"), path("key.pem"))

    servers = [
        ("plain", Controller(Recorder("plain"), hostname="127.0.0.1", port=free_port())),
        ("login", Controller(Recorder("login"), hostname="127.0.0.1", port=free_port(), auth_required=True,
                             auth_require_tls=False, authenticator=check_login)),
        ("cram", Controller(CramRecorder("cram"), hostname="127.0.0.1", port=free_port(), auth_required=True,
                            auth_require_tls=False, authenticator=check_login,
                            auth_exclude_mechanism=["PLAIN"])),
        ("tls", Controller(Recorder("tls"), hostname="127.0.0.1", port=free_port(), tls_context=context,
                           require_starttls=True, authenticator=check_login)),
    ]
    for name in ("tlsca", "tlsname"):
        servers.append((name, Controller(Recorder(name), hostname="127.0.0.1", port=free_port(),
                                         tls_context=context_of(path(name + ".pem"), path(name + ".key")),
                                         require_starttls=True, authenticator=check_login)))
    for name, controller in servers:
        controller.start()
        port = controller.port
        with open(os.path.join(folder, name + ".port.tmp"), "w") as f:
            f.write("%d\n" % port)
        os.rename(os.path.join(folder, name + ".port.tmp"), os.path.join(folder, name + ".port"))
    signal.sigwait([signal.SIGTERM, signal.SIGINT])
    for _, controller in servers:
        controller.stop()


def start(folder):
    stop(folder)
    os.makedirs(folder, exist_ok=True)
    shutil.rmtree(os.path.join(folder, "mailbox"), ignore_errors=True)
    for name in os.listdir(folder):
        if name.endswith(".port"):
            os.remove(os.path.join(folder, name))
    log = open(os.path.join(folder, "servers.log"), "w")
    process = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", folder], stdin=subprocess.DEVNULL,
                               stdout=log, stderr=log, start_new_session=True)
    with open(os.path.join(folder, "servers.pid"), "w") as f:
        f.write("%d\n" % process.pid)
    for _ in range(200):
        if all(os.path.exists(os.path.join(folder, n + ".port")) for n in ("plain", "login", "cram", "tls", "tlsca", "tlsname")):
            return 0
        if process.poll() is not None:
            break
        time.sleep(0.05)
    sys.stderr.write("the mail servers did not start; see %s/servers.log\n" % folder)
    return 1


def stop(folder):
    pidfile = os.path.join(folder, "servers.pid")
    if os.path.exists(pidfile):
        with open(pidfile) as f:
            pid = int(f.read().strip() or 0)
        os.remove(pidfile)
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
    return 0


if __name__ == "__main__":
    command, folder = sys.argv[1], sys.argv[2]
    if command == "serve":
        signal.pthread_sigmask(signal.SIG_BLOCK, [signal.SIGTERM, signal.SIGINT])
        serve(folder)
    else:
        sys.exit(start(folder) if command == "start" else stop(folder))
