#include "catalogue/OnlineError.h"

OnlineError::OnlineError(Kind kind, const QString& message, int status, const QString& text)
    : PlmError(message)
    , m_kind(kind)
    , m_status(status)
    , m_text(text)
{
}

OnlineError OnlineError::http(int status)
{
    return OnlineError(Kind::http,
                       QStringLiteral("Le fournisseur a répondu HTTP ") + QString::number(status)
                           + QStringLiteral(". Réessayez plus tard ou consultez la source."),
                       status, {});
}

OnlineError OnlineError::invalid(const QString& text)
{
    return OnlineError(Kind::invalid, QStringLiteral("Le fond reçu ne peut pas être converti : ") + text, 0,
                       text);
}

OnlineError OnlineError::network(const QString& text)
{
    return OnlineError(Kind::network,
                       QStringLiteral("Téléchargement impossible : ") + text
                           + QStringLiteral(" Vérifiez votre connexion puis réessayez."),
                       0, text);
}

OnlineError OnlineError::empty()
{
    return OnlineError(Kind::empty, QStringLiteral("Le fournisseur a envoyé un fichier vide."), 0, {});
}

OnlineError OnlineError::tooLarge()
{
    return OnlineError(Kind::tooLarge,
                       QStringLiteral("Le fichier reçu dépasse la taille prévue pour ces fonds (64 Mo)."), 0, {});
}
