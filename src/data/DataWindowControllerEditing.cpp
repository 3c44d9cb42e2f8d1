// Cell editing of the data pane: the delegate that edits, checks and commits cells, and the
// pane's place in the command chain.
#include "data/DataWindowController.h"

#include "data/DataCellDelegate.h"
#include "desktop/CommandRouter.h"

void DataWindowController::installCellEditing()
{
    if (!m_table || cellDelegate)
        return;
    cellDelegate = new DataCellDelegate(this);
    m_table->setItemDelegate(cellDelegate);
    // The table, and the cell editors inside it, start the chains that reach the pane.
    CommandRouter::shared().attach(m_table, this, this);
}
