# Native checks of the title templates.
