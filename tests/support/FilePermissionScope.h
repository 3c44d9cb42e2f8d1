#pragma once

#include <linux/capability.h>
#include <linux/securebits.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

// While alive, file permission bits bind the calling thread even when it runs as root (as CI
// does), so a test can meet an unreadable file or folder. The two capabilities that override
// the bits leave the thread's effective set but stay permitted, so they come back at the end;
// and access() is made to judge by that effective set, where for root it would take the
// permitted one. The files a test makes are its user's own, so their owner bits apply.
// Another user needs nothing.
class FilePermissionScope {
public:
    FilePermissionScope()
    {
        if (::geteuid() != 0) {
            m_holds = true;
            return;
        }
        m_securebits = ::prctl(PR_GET_SECUREBITS);
        if (m_securebits < 0 || ::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        if (::prctl(PR_SET_SECUREBITS, m_securebits | SECBIT_NO_SETUID_FIXUP) != 0)
            return;
        m_securebitsChanged = true;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~(CAP_TO_MASK(CAP_DAC_OVERRIDE) | CAP_TO_MASK(CAP_DAC_READ_SEARCH));
        m_holds = ::syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~FilePermissionScope()
    {
        if (::geteuid() == 0 && m_holds)
            ::syscall(SYS_capset, &m_header, m_saved);
        if (m_securebitsChanged)
            ::prctl(PR_SET_SECUREBITS, m_securebits);
    }
    FilePermissionScope(const FilePermissionScope&) = delete;
    FilePermissionScope& operator=(const FilePermissionScope&) = delete;

    // Whether the permission bits bind now; a test that needs them asserts it.
    bool holds() const { return m_holds; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    int m_securebits = 0;
    bool m_securebitsChanged = false;
    bool m_holds = false;
};
