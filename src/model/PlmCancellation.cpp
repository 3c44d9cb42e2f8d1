#include "model/PlmCancellation.h"

const char* PlmCancellationError::what() const noexcept
{
    return "Calcul annulé.";
}

PlmCancellationToken PlmCancellationToken::make()
{
    PlmCancellationToken token;
    token.m_flag = std::make_shared<std::atomic<bool>>(false);
    return token;
}

void PlmCancellationToken::cancel() const
{
    if (m_flag)
        m_flag->store(true, std::memory_order_relaxed);
}

bool PlmCancellationToken::isCancelled() const
{
    return m_flag && m_flag->load(std::memory_order_relaxed);
}

void PlmCancellationToken::throwIfCancelled() const
{
    if (isCancelled())
        throw PlmCancellationError();
}
