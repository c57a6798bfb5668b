// Replaced as the engine gains sources.
