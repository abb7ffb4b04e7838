#include "about/help_content.h"

#include "about/about_logic.h"
#include "platform/document_open.h"

#include <QCoreApplication>

namespace orvane {

void OpenHelpContent()
{
    platform::OpenDocument(HelpFilePath(QCoreApplication::applicationDirPath()));
}

} // namespace orvane
