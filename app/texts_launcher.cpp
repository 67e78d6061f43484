// The patch engine's texts, shared with the game launcher, in LauncherText order.
#include "app/languages.h"

const LauncherLanguage g_launcherLanguages[kLauncherLanguageCount] = {
    {"pt", {
        L"Connecting to patch server...",  // PatchConnecting
        L"Verifying signature...",  // PatchVerifying
        L"CHECKING",  // StateChecking
        L"UPDATING",  // StateUpdating
        L"Applying changes...",  // PatchApplying
        L"Updating launcher...",  // PatchSelfUpdate
        L"READY TO PLAY",  // StateReady
        L"Client up to date",  // PatchUpToDate
        L"ERROR",  // StateError
        L"PLAY",  // PlayButton
        L"UPDATING",  // PlayButtonUpdating
        L"RETRY",  // RetryButton
        L"Repair",  // RepairButton
        L"NEWS",  // NewsHeader
        L"No news.",  // NoNews
        L"File",  // FileLabel
        L"Total",  // TotalLabel
        L"Não foi possível ligar ao servidor de patch.",  // ErrConnect
        L"Assinatura do patch inválida. Download recusado.",  // ErrSignature
        L"Manifesto do patch inválido.",  // ErrManifest
        L"O servidor enviou uma versão mais antiga do que a instalada.",  // ErrOlderVersion
        L"Chave pública não configurada (public_key).",  // ErrNoPublicKey
        L"Não foi possível escrever o ficheiro:",  // ErrWriteFile
        L"Ficheiro corrompido após download:",  // ErrCorruptFile
        L"Game executable not found.",  // ErrNoGameExe
        L"Ficheiro em uso - fecha o jogo e tenta de novo:",  // ErrFileInUse
        L"Version",  // VersionLabel
        L"Offline mode",  // OfflineMode
        L"Home",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Support",  // LinkSupport
        L"Rules",  // LinkRules
        L"Register",  // LinkRegister
        L"All news",  // AllNews
        L"All",  // FilterAll
        L"Events",  // FilterEvents
        L"News",  // FilterNews
        L"Updates",  // FilterUpdates
        L"EVENT",  // TagEvent
        L"NEWS",  // TagNews
        L"UPDATE",  // TagUpdate
        L"Read more",  // ReadMore
        L"Back",  // BackButton
        L"View post",  // ViewPost
        L"SETTINGS",  // SettingsHeader
        L"Resolution",  // Resolution
        L"Window mode",  // WindowMode
        L"Play in a window instead of fullscreen",  // WindowModeHint
        L"Music",  // Music
        L"Effects",  // Effects
        L"Off",  // Off
        L"Advanced settings",  // AdvancedSettings
        L"Repair files",  // RepairFiles
        L"Website",  // Website
        L"WAIT",  // StateWait
        L"files",  // FilesUnit
        L"left",  // LeftUnit
        L"Downloading",  // Downloading
        L"Checking",  // Checking
        L"Quorvel Team",  // TeamName
        L"Staff",  // Staff
        L"Close the game to change settings",  // CloseGameForSettings
        L"Language",  // LanguageLabel
        L"Online",  // ServerOnline
        L"Offline",  // ServerOffline
        L"Maintenance",  // ServerMaintenance
        L"Checking server...",  // ServerChecking
        L"1 player",  // OnePlayer
        L"%d players",  // PlayersFormat
        L"The server is under maintenance.",  // MaintenanceText
        L"Back in",  // BackIn
        L"Pause",  // PauseButton
        L"Resume",  // ResumeButton
        L"PAUSED",  // StatePaused
        L"The download will continue where it stopped.",  // PausedHint
    }},
    {"en", {
        L"Connecting to patch server...",  // PatchConnecting
        L"Verifying signature...",  // PatchVerifying
        L"CHECKING",  // StateChecking
        L"UPDATING",  // StateUpdating
        L"Applying changes...",  // PatchApplying
        L"Updating launcher...",  // PatchSelfUpdate
        L"READY TO PLAY",  // StateReady
        L"Client up to date",  // PatchUpToDate
        L"ERROR",  // StateError
        L"PLAY",  // PlayButton
        L"UPDATING",  // PlayButtonUpdating
        L"RETRY",  // RetryButton
        L"Repair",  // RepairButton
        L"NEWS",  // NewsHeader
        L"No news.",  // NoNews
        L"File",  // FileLabel
        L"Total",  // TotalLabel
        L"Could not connect to the patch server.",  // ErrConnect
        L"Invalid patch signature. Download refused.",  // ErrSignature
        L"Invalid patch manifest.",  // ErrManifest
        L"The server sent an older version than the installed one.",  // ErrOlderVersion
        L"Public key not configured (public_key).",  // ErrNoPublicKey
        L"Could not write file:",  // ErrWriteFile
        L"File corrupted after download:",  // ErrCorruptFile
        L"Game executable not found.",  // ErrNoGameExe
        L"File in use - close the game and try again:",  // ErrFileInUse
        L"Version",  // VersionLabel
        L"Offline mode",  // OfflineMode
        L"Home",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Support",  // LinkSupport
        L"Rules",  // LinkRules
        L"Register",  // LinkRegister
        L"All news",  // AllNews
        L"All",  // FilterAll
        L"Events",  // FilterEvents
        L"News",  // FilterNews
        L"Updates",  // FilterUpdates
        L"EVENT",  // TagEvent
        L"NEWS",  // TagNews
        L"UPDATE",  // TagUpdate
        L"Read more",  // ReadMore
        L"Back",  // BackButton
        L"View post",  // ViewPost
        L"SETTINGS",  // SettingsHeader
        L"Resolution",  // Resolution
        L"Window mode",  // WindowMode
        L"Play in a window instead of fullscreen",  // WindowModeHint
        L"Music",  // Music
        L"Effects",  // Effects
        L"Off",  // Off
        L"Advanced settings",  // AdvancedSettings
        L"Repair files",  // RepairFiles
        L"Website",  // Website
        L"WAIT",  // StateWait
        L"files",  // FilesUnit
        L"left",  // LeftUnit
        L"Downloading",  // Downloading
        L"Checking",  // Checking
        L"Quorvel Team",  // TeamName
        L"Staff",  // Staff
        L"Close the game to change settings",  // CloseGameForSettings
        L"Language",  // LanguageLabel
        L"Online",  // ServerOnline
        L"Offline",  // ServerOffline
        L"Maintenance",  // ServerMaintenance
        L"Checking server...",  // ServerChecking
        L"1 player",  // OnePlayer
        L"%d players",  // PlayersFormat
        L"The server is under maintenance.",  // MaintenanceText
        L"Back in",  // BackIn
        L"Pause",  // PauseButton
        L"Resume",  // ResumeButton
        L"PAUSED",  // StatePaused
        L"The download will continue where it stopped.",  // PausedHint
    }},
    {"es", {
        L"Connecting to patch server...",  // PatchConnecting
        L"Verifying signature...",  // PatchVerifying
        L"CHECKING",  // StateChecking
        L"UPDATING",  // StateUpdating
        L"Applying changes...",  // PatchApplying
        L"Updating launcher...",  // PatchSelfUpdate
        L"READY TO PLAY",  // StateReady
        L"Client up to date",  // PatchUpToDate
        L"ERROR",  // StateError
        L"PLAY",  // PlayButton
        L"UPDATING",  // PlayButtonUpdating
        L"RETRY",  // RetryButton
        L"Repair",  // RepairButton
        L"NEWS",  // NewsHeader
        L"No news.",  // NoNews
        L"File",  // FileLabel
        L"Total",  // TotalLabel
        L"No se pudo conectar con el servidor de parches.",  // ErrConnect
        L"Firma del parche no válida. Descarga rechazada.",  // ErrSignature
        L"Manifiesto del parche no válido.",  // ErrManifest
        L"El servidor envió una versión más antigua que la instalada.",  // ErrOlderVersion
        L"Clave pública no configurada (public_key).",  // ErrNoPublicKey
        L"No se pudo escribir el archivo:",  // ErrWriteFile
        L"Archivo dañado tras la descarga:",  // ErrCorruptFile
        L"Game executable not found.",  // ErrNoGameExe
        L"Archivo en uso - cierra el juego e inténtalo de nuevo:",  // ErrFileInUse
        L"Version",  // VersionLabel
        L"Offline mode",  // OfflineMode
        L"Home",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Support",  // LinkSupport
        L"Rules",  // LinkRules
        L"Register",  // LinkRegister
        L"All news",  // AllNews
        L"All",  // FilterAll
        L"Events",  // FilterEvents
        L"News",  // FilterNews
        L"Updates",  // FilterUpdates
        L"EVENT",  // TagEvent
        L"NEWS",  // TagNews
        L"UPDATE",  // TagUpdate
        L"Read more",  // ReadMore
        L"Back",  // BackButton
        L"View post",  // ViewPost
        L"SETTINGS",  // SettingsHeader
        L"Resolution",  // Resolution
        L"Window mode",  // WindowMode
        L"Play in a window instead of fullscreen",  // WindowModeHint
        L"Music",  // Music
        L"Effects",  // Effects
        L"Off",  // Off
        L"Advanced settings",  // AdvancedSettings
        L"Repair files",  // RepairFiles
        L"Website",  // Website
        L"WAIT",  // StateWait
        L"files",  // FilesUnit
        L"left",  // LeftUnit
        L"Downloading",  // Downloading
        L"Checking",  // Checking
        L"Quorvel Team",  // TeamName
        L"Staff",  // Staff
        L"Close the game to change settings",  // CloseGameForSettings
        L"Language",  // LanguageLabel
        L"Online",  // ServerOnline
        L"Offline",  // ServerOffline
        L"Maintenance",  // ServerMaintenance
        L"Checking server...",  // ServerChecking
        L"1 player",  // OnePlayer
        L"%d players",  // PlayersFormat
        L"The server is under maintenance.",  // MaintenanceText
        L"Back in",  // BackIn
        L"Pause",  // PauseButton
        L"Resume",  // ResumeButton
        L"PAUSED",  // StatePaused
        L"The download will continue where it stopped.",  // PausedHint
    }},
    {"fr", {
        L"Connecting to patch server...",  // PatchConnecting
        L"Verifying signature...",  // PatchVerifying
        L"CHECKING",  // StateChecking
        L"UPDATING",  // StateUpdating
        L"Applying changes...",  // PatchApplying
        L"Updating launcher...",  // PatchSelfUpdate
        L"READY TO PLAY",  // StateReady
        L"Client up to date",  // PatchUpToDate
        L"ERROR",  // StateError
        L"PLAY",  // PlayButton
        L"UPDATING",  // PlayButtonUpdating
        L"RETRY",  // RetryButton
        L"Repair",  // RepairButton
        L"NEWS",  // NewsHeader
        L"No news.",  // NoNews
        L"File",  // FileLabel
        L"Total",  // TotalLabel
        L"Impossible de se connecter au serveur de mise à jour.",  // ErrConnect
        L"Signature du patch invalide. Téléchargement refusé.",  // ErrSignature
        L"Manifeste du patch invalide.",  // ErrManifest
        L"Le serveur a envoyé une version plus ancienne que celle installée.",  // ErrOlderVersion
        L"Clé publique non configurée (public_key).",  // ErrNoPublicKey
        L"Impossible d'écrire le fichier :",  // ErrWriteFile
        L"Fichier corrompu après téléchargement :",  // ErrCorruptFile
        L"Game executable not found.",  // ErrNoGameExe
        L"Fichier en cours d'utilisation - ferme le jeu et réessaie :",  // ErrFileInUse
        L"Version",  // VersionLabel
        L"Offline mode",  // OfflineMode
        L"Home",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Support",  // LinkSupport
        L"Rules",  // LinkRules
        L"Register",  // LinkRegister
        L"All news",  // AllNews
        L"All",  // FilterAll
        L"Events",  // FilterEvents
        L"News",  // FilterNews
        L"Updates",  // FilterUpdates
        L"EVENT",  // TagEvent
        L"NEWS",  // TagNews
        L"UPDATE",  // TagUpdate
        L"Read more",  // ReadMore
        L"Back",  // BackButton
        L"View post",  // ViewPost
        L"SETTINGS",  // SettingsHeader
        L"Resolution",  // Resolution
        L"Window mode",  // WindowMode
        L"Play in a window instead of fullscreen",  // WindowModeHint
        L"Music",  // Music
        L"Effects",  // Effects
        L"Off",  // Off
        L"Advanced settings",  // AdvancedSettings
        L"Repair files",  // RepairFiles
        L"Website",  // Website
        L"WAIT",  // StateWait
        L"files",  // FilesUnit
        L"left",  // LeftUnit
        L"Downloading",  // Downloading
        L"Checking",  // Checking
        L"Quorvel Team",  // TeamName
        L"Staff",  // Staff
        L"Close the game to change settings",  // CloseGameForSettings
        L"Language",  // LanguageLabel
        L"Online",  // ServerOnline
        L"Offline",  // ServerOffline
        L"Maintenance",  // ServerMaintenance
        L"Checking server...",  // ServerChecking
        L"1 player",  // OnePlayer
        L"%d players",  // PlayersFormat
        L"The server is under maintenance.",  // MaintenanceText
        L"Back in",  // BackIn
        L"Pause",  // PauseButton
        L"Resume",  // ResumeButton
        L"PAUSED",  // StatePaused
        L"The download will continue where it stopped.",  // PausedHint
    }},
    {"de", {
        L"Connecting to patch server...",  // PatchConnecting
        L"Verifying signature...",  // PatchVerifying
        L"CHECKING",  // StateChecking
        L"UPDATING",  // StateUpdating
        L"Applying changes...",  // PatchApplying
        L"Updating launcher...",  // PatchSelfUpdate
        L"READY TO PLAY",  // StateReady
        L"Client up to date",  // PatchUpToDate
        L"ERROR",  // StateError
        L"PLAY",  // PlayButton
        L"UPDATING",  // PlayButtonUpdating
        L"RETRY",  // RetryButton
        L"Repair",  // RepairButton
        L"NEWS",  // NewsHeader
        L"No news.",  // NoNews
        L"File",  // FileLabel
        L"Total",  // TotalLabel
        L"Keine Verbindung zum Patch-Server möglich.",  // ErrConnect
        L"Ungültige Patch-Signatur. Download abgelehnt.",  // ErrSignature
        L"Ungültiges Patch-Manifest.",  // ErrManifest
        L"Der Server hat eine ältere Version als die installierte gesendet.",  // ErrOlderVersion
        L"Öffentlicher Schlüssel nicht konfiguriert (public_key).",  // ErrNoPublicKey
        L"Datei konnte nicht geschrieben werden:",  // ErrWriteFile
        L"Datei nach dem Download beschädigt:",  // ErrCorruptFile
        L"Game executable not found.",  // ErrNoGameExe
        L"Datei wird verwendet - schließe das Spiel und versuche es erneut:",  // ErrFileInUse
        L"Version",  // VersionLabel
        L"Offline mode",  // OfflineMode
        L"Home",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Support",  // LinkSupport
        L"Rules",  // LinkRules
        L"Register",  // LinkRegister
        L"All news",  // AllNews
        L"All",  // FilterAll
        L"Events",  // FilterEvents
        L"News",  // FilterNews
        L"Updates",  // FilterUpdates
        L"EVENT",  // TagEvent
        L"NEWS",  // TagNews
        L"UPDATE",  // TagUpdate
        L"Read more",  // ReadMore
        L"Back",  // BackButton
        L"View post",  // ViewPost
        L"SETTINGS",  // SettingsHeader
        L"Resolution",  // Resolution
        L"Window mode",  // WindowMode
        L"Play in a window instead of fullscreen",  // WindowModeHint
        L"Music",  // Music
        L"Effects",  // Effects
        L"Off",  // Off
        L"Advanced settings",  // AdvancedSettings
        L"Repair files",  // RepairFiles
        L"Website",  // Website
        L"WAIT",  // StateWait
        L"files",  // FilesUnit
        L"left",  // LeftUnit
        L"Downloading",  // Downloading
        L"Checking",  // Checking
        L"Quorvel Team",  // TeamName
        L"Staff",  // Staff
        L"Close the game to change settings",  // CloseGameForSettings
        L"Language",  // LanguageLabel
        L"Online",  // ServerOnline
        L"Offline",  // ServerOffline
        L"Maintenance",  // ServerMaintenance
        L"Checking server...",  // ServerChecking
        L"1 player",  // OnePlayer
        L"%d players",  // PlayersFormat
        L"The server is under maintenance.",  // MaintenanceText
        L"Back in",  // BackIn
        L"Pause",  // PauseButton
        L"Resume",  // ResumeButton
        L"PAUSED",  // StatePaused
        L"The download will continue where it stopped.",  // PausedHint
    }},
    {"it", {
        L"Connecting to patch server...",  // PatchConnecting
        L"Verifying signature...",  // PatchVerifying
        L"CHECKING",  // StateChecking
        L"UPDATING",  // StateUpdating
        L"Applying changes...",  // PatchApplying
        L"Updating launcher...",  // PatchSelfUpdate
        L"READY TO PLAY",  // StateReady
        L"Client up to date",  // PatchUpToDate
        L"ERROR",  // StateError
        L"PLAY",  // PlayButton
        L"UPDATING",  // PlayButtonUpdating
        L"RETRY",  // RetryButton
        L"Repair",  // RepairButton
        L"NEWS",  // NewsHeader
        L"No news.",  // NoNews
        L"File",  // FileLabel
        L"Total",  // TotalLabel
        L"Impossibile connettersi al server delle patch.",  // ErrConnect
        L"Firma della patch non valida. Download rifiutato.",  // ErrSignature
        L"Manifesto della patch non valido.",  // ErrManifest
        L"Il server ha inviato una versione più vecchia di quella installata.",  // ErrOlderVersion
        L"Chiave pubblica non configurata (public_key).",  // ErrNoPublicKey
        L"Impossibile scrivere il file:",  // ErrWriteFile
        L"File danneggiato dopo il download:",  // ErrCorruptFile
        L"Game executable not found.",  // ErrNoGameExe
        L"File in uso - chiudi il gioco e riprova:",  // ErrFileInUse
        L"Version",  // VersionLabel
        L"Offline mode",  // OfflineMode
        L"Home",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Support",  // LinkSupport
        L"Rules",  // LinkRules
        L"Register",  // LinkRegister
        L"All news",  // AllNews
        L"All",  // FilterAll
        L"Events",  // FilterEvents
        L"News",  // FilterNews
        L"Updates",  // FilterUpdates
        L"EVENT",  // TagEvent
        L"NEWS",  // TagNews
        L"UPDATE",  // TagUpdate
        L"Read more",  // ReadMore
        L"Back",  // BackButton
        L"View post",  // ViewPost
        L"SETTINGS",  // SettingsHeader
        L"Resolution",  // Resolution
        L"Window mode",  // WindowMode
        L"Play in a window instead of fullscreen",  // WindowModeHint
        L"Music",  // Music
        L"Effects",  // Effects
        L"Off",  // Off
        L"Advanced settings",  // AdvancedSettings
        L"Repair files",  // RepairFiles
        L"Website",  // Website
        L"WAIT",  // StateWait
        L"files",  // FilesUnit
        L"left",  // LeftUnit
        L"Downloading",  // Downloading
        L"Checking",  // Checking
        L"Quorvel Team",  // TeamName
        L"Staff",  // Staff
        L"Close the game to change settings",  // CloseGameForSettings
        L"Language",  // LanguageLabel
        L"Online",  // ServerOnline
        L"Offline",  // ServerOffline
        L"Maintenance",  // ServerMaintenance
        L"Checking server...",  // ServerChecking
        L"1 player",  // OnePlayer
        L"%d players",  // PlayersFormat
        L"The server is under maintenance.",  // MaintenanceText
        L"Back in",  // BackIn
        L"Pause",  // PauseButton
        L"Resume",  // ResumeButton
        L"PAUSED",  // StatePaused
        L"The download will continue where it stopped.",  // PausedHint
    }},
    {"ro", {
        L"Connecting to patch server...",  // PatchConnecting
        L"Verifying signature...",  // PatchVerifying
        L"CHECKING",  // StateChecking
        L"UPDATING",  // StateUpdating
        L"Applying changes...",  // PatchApplying
        L"Updating launcher...",  // PatchSelfUpdate
        L"READY TO PLAY",  // StateReady
        L"Client up to date",  // PatchUpToDate
        L"ERROR",  // StateError
        L"PLAY",  // PlayButton
        L"UPDATING",  // PlayButtonUpdating
        L"RETRY",  // RetryButton
        L"Repair",  // RepairButton
        L"NEWS",  // NewsHeader
        L"No news.",  // NoNews
        L"File",  // FileLabel
        L"Total",  // TotalLabel
        L"Nu s-a putut conecta la serverul de patch.",  // ErrConnect
        L"Semnătura patch-ului este invalidă. Descărcare refuzată.",  // ErrSignature
        L"Manifestul patch-ului este invalid.",  // ErrManifest
        L"Serverul a trimis o versiune mai veche decât cea instalată.",  // ErrOlderVersion
        L"Cheia publică nu este configurată (public_key).",  // ErrNoPublicKey
        L"Fișierul nu a putut fi scris:",  // ErrWriteFile
        L"Fișier corupt după descărcare:",  // ErrCorruptFile
        L"Game executable not found.",  // ErrNoGameExe
        L"Fișier în uz - închide jocul și încearcă din nou:",  // ErrFileInUse
        L"Version",  // VersionLabel
        L"Offline mode",  // OfflineMode
        L"Home",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Support",  // LinkSupport
        L"Rules",  // LinkRules
        L"Register",  // LinkRegister
        L"All news",  // AllNews
        L"All",  // FilterAll
        L"Events",  // FilterEvents
        L"News",  // FilterNews
        L"Updates",  // FilterUpdates
        L"EVENT",  // TagEvent
        L"NEWS",  // TagNews
        L"UPDATE",  // TagUpdate
        L"Read more",  // ReadMore
        L"Back",  // BackButton
        L"View post",  // ViewPost
        L"SETTINGS",  // SettingsHeader
        L"Resolution",  // Resolution
        L"Window mode",  // WindowMode
        L"Play in a window instead of fullscreen",  // WindowModeHint
        L"Music",  // Music
        L"Effects",  // Effects
        L"Off",  // Off
        L"Advanced settings",  // AdvancedSettings
        L"Repair files",  // RepairFiles
        L"Website",  // Website
        L"WAIT",  // StateWait
        L"files",  // FilesUnit
        L"left",  // LeftUnit
        L"Downloading",  // Downloading
        L"Checking",  // Checking
        L"Quorvel Team",  // TeamName
        L"Staff",  // Staff
        L"Close the game to change settings",  // CloseGameForSettings
        L"Language",  // LanguageLabel
        L"Online",  // ServerOnline
        L"Offline",  // ServerOffline
        L"Maintenance",  // ServerMaintenance
        L"Checking server...",  // ServerChecking
        L"1 player",  // OnePlayer
        L"%d players",  // PlayersFormat
        L"The server is under maintenance.",  // MaintenanceText
        L"Back in",  // BackIn
        L"Pause",  // PauseButton
        L"Resume",  // ResumeButton
        L"PAUSED",  // StatePaused
        L"The download will continue where it stopped.",  // PausedHint
    }},
    {"pl", {
        L"Connecting to patch server...",  // PatchConnecting
        L"Verifying signature...",  // PatchVerifying
        L"CHECKING",  // StateChecking
        L"UPDATING",  // StateUpdating
        L"Applying changes...",  // PatchApplying
        L"Updating launcher...",  // PatchSelfUpdate
        L"READY TO PLAY",  // StateReady
        L"Client up to date",  // PatchUpToDate
        L"ERROR",  // StateError
        L"PLAY",  // PlayButton
        L"UPDATING",  // PlayButtonUpdating
        L"RETRY",  // RetryButton
        L"Repair",  // RepairButton
        L"NEWS",  // NewsHeader
        L"No news.",  // NoNews
        L"File",  // FileLabel
        L"Total",  // TotalLabel
        L"Nie można połączyć się z serwerem aktualizacji.",  // ErrConnect
        L"Nieprawidłowy podpis aktualizacji. Pobieranie odrzucone.",  // ErrSignature
        L"Nieprawidłowy manifest aktualizacji.",  // ErrManifest
        L"Serwer wysłał starszą wersję niż zainstalowana.",  // ErrOlderVersion
        L"Klucz publiczny nie jest skonfigurowany (public_key).",  // ErrNoPublicKey
        L"Nie można zapisać pliku:",  // ErrWriteFile
        L"Plik uszkodzony po pobraniu:",  // ErrCorruptFile
        L"Game executable not found.",  // ErrNoGameExe
        L"Plik w użyciu - zamknij grę i spróbuj ponownie:",  // ErrFileInUse
        L"Version",  // VersionLabel
        L"Offline mode",  // OfflineMode
        L"Home",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Support",  // LinkSupport
        L"Rules",  // LinkRules
        L"Register",  // LinkRegister
        L"All news",  // AllNews
        L"All",  // FilterAll
        L"Events",  // FilterEvents
        L"News",  // FilterNews
        L"Updates",  // FilterUpdates
        L"EVENT",  // TagEvent
        L"NEWS",  // TagNews
        L"UPDATE",  // TagUpdate
        L"Read more",  // ReadMore
        L"Back",  // BackButton
        L"View post",  // ViewPost
        L"SETTINGS",  // SettingsHeader
        L"Resolution",  // Resolution
        L"Window mode",  // WindowMode
        L"Play in a window instead of fullscreen",  // WindowModeHint
        L"Music",  // Music
        L"Effects",  // Effects
        L"Off",  // Off
        L"Advanced settings",  // AdvancedSettings
        L"Repair files",  // RepairFiles
        L"Website",  // Website
        L"WAIT",  // StateWait
        L"files",  // FilesUnit
        L"left",  // LeftUnit
        L"Downloading",  // Downloading
        L"Checking",  // Checking
        L"Quorvel Team",  // TeamName
        L"Staff",  // Staff
        L"Close the game to change settings",  // CloseGameForSettings
        L"Language",  // LanguageLabel
        L"Online",  // ServerOnline
        L"Offline",  // ServerOffline
        L"Maintenance",  // ServerMaintenance
        L"Checking server...",  // ServerChecking
        L"1 player",  // OnePlayer
        L"%d players",  // PlayersFormat
        L"The server is under maintenance.",  // MaintenanceText
        L"Back in",  // BackIn
        L"Pause",  // PauseButton
        L"Resume",  // ResumeButton
        L"PAUSED",  // StatePaused
        L"The download will continue where it stopped.",  // PausedHint
    }},
    {"cz", {
        L"Connecting to patch server...",  // PatchConnecting
        L"Verifying signature...",  // PatchVerifying
        L"CHECKING",  // StateChecking
        L"UPDATING",  // StateUpdating
        L"Applying changes...",  // PatchApplying
        L"Updating launcher...",  // PatchSelfUpdate
        L"READY TO PLAY",  // StateReady
        L"Client up to date",  // PatchUpToDate
        L"ERROR",  // StateError
        L"PLAY",  // PlayButton
        L"UPDATING",  // PlayButtonUpdating
        L"RETRY",  // RetryButton
        L"Repair",  // RepairButton
        L"NEWS",  // NewsHeader
        L"No news.",  // NoNews
        L"File",  // FileLabel
        L"Total",  // TotalLabel
        L"Nelze se připojit k aktualizačnímu serveru.",  // ErrConnect
        L"Neplatný podpis aktualizace. Stahování odmítnuto.",  // ErrSignature
        L"Neplatný manifest aktualizace.",  // ErrManifest
        L"Server poslal starší verzi, než je nainstalovaná.",  // ErrOlderVersion
        L"Veřejný klíč není nastaven (public_key).",  // ErrNoPublicKey
        L"Soubor nelze zapsat:",  // ErrWriteFile
        L"Soubor je po stažení poškozený:",  // ErrCorruptFile
        L"Game executable not found.",  // ErrNoGameExe
        L"Soubor se používá - zavři hru a zkus to znovu:",  // ErrFileInUse
        L"Version",  // VersionLabel
        L"Offline mode",  // OfflineMode
        L"Home",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Support",  // LinkSupport
        L"Rules",  // LinkRules
        L"Register",  // LinkRegister
        L"All news",  // AllNews
        L"All",  // FilterAll
        L"Events",  // FilterEvents
        L"News",  // FilterNews
        L"Updates",  // FilterUpdates
        L"EVENT",  // TagEvent
        L"NEWS",  // TagNews
        L"UPDATE",  // TagUpdate
        L"Read more",  // ReadMore
        L"Back",  // BackButton
        L"View post",  // ViewPost
        L"SETTINGS",  // SettingsHeader
        L"Resolution",  // Resolution
        L"Window mode",  // WindowMode
        L"Play in a window instead of fullscreen",  // WindowModeHint
        L"Music",  // Music
        L"Effects",  // Effects
        L"Off",  // Off
        L"Advanced settings",  // AdvancedSettings
        L"Repair files",  // RepairFiles
        L"Website",  // Website
        L"WAIT",  // StateWait
        L"files",  // FilesUnit
        L"left",  // LeftUnit
        L"Downloading",  // Downloading
        L"Checking",  // Checking
        L"Quorvel Team",  // TeamName
        L"Staff",  // Staff
        L"Close the game to change settings",  // CloseGameForSettings
        L"Language",  // LanguageLabel
        L"Online",  // ServerOnline
        L"Offline",  // ServerOffline
        L"Maintenance",  // ServerMaintenance
        L"Checking server...",  // ServerChecking
        L"1 player",  // OnePlayer
        L"%d players",  // PlayersFormat
        L"The server is under maintenance.",  // MaintenanceText
        L"Back in",  // BackIn
        L"Pause",  // PauseButton
        L"Resume",  // ResumeButton
        L"PAUSED",  // StatePaused
        L"The download will continue where it stopped.",  // PausedHint
    }},
    {"hu", {
        L"Connecting to patch server...",  // PatchConnecting
        L"Verifying signature...",  // PatchVerifying
        L"CHECKING",  // StateChecking
        L"UPDATING",  // StateUpdating
        L"Applying changes...",  // PatchApplying
        L"Updating launcher...",  // PatchSelfUpdate
        L"READY TO PLAY",  // StateReady
        L"Client up to date",  // PatchUpToDate
        L"ERROR",  // StateError
        L"PLAY",  // PlayButton
        L"UPDATING",  // PlayButtonUpdating
        L"RETRY",  // RetryButton
        L"Repair",  // RepairButton
        L"NEWS",  // NewsHeader
        L"No news.",  // NoNews
        L"File",  // FileLabel
        L"Total",  // TotalLabel
        L"Nem sikerült csatlakozni a frissítési szerverhez.",  // ErrConnect
        L"Érvénytelen frissítési aláírás. Letöltés elutasítva.",  // ErrSignature
        L"Érvénytelen frissítési manifest.",  // ErrManifest
        L"A szerver régebbi verziót küldött, mint a telepített.",  // ErrOlderVersion
        L"A nyilvános kulcs nincs beállítva (public_key).",  // ErrNoPublicKey
        L"Nem sikerült írni a fájlt:",  // ErrWriteFile
        L"A fájl sérült a letöltés után:",  // ErrCorruptFile
        L"Game executable not found.",  // ErrNoGameExe
        L"A fájl használatban van - zárd be a játékot és próbáld újra:",  // ErrFileInUse
        L"Version",  // VersionLabel
        L"Offline mode",  // OfflineMode
        L"Home",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Support",  // LinkSupport
        L"Rules",  // LinkRules
        L"Register",  // LinkRegister
        L"All news",  // AllNews
        L"All",  // FilterAll
        L"Events",  // FilterEvents
        L"News",  // FilterNews
        L"Updates",  // FilterUpdates
        L"EVENT",  // TagEvent
        L"NEWS",  // TagNews
        L"UPDATE",  // TagUpdate
        L"Read more",  // ReadMore
        L"Back",  // BackButton
        L"View post",  // ViewPost
        L"SETTINGS",  // SettingsHeader
        L"Resolution",  // Resolution
        L"Window mode",  // WindowMode
        L"Play in a window instead of fullscreen",  // WindowModeHint
        L"Music",  // Music
        L"Effects",  // Effects
        L"Off",  // Off
        L"Advanced settings",  // AdvancedSettings
        L"Repair files",  // RepairFiles
        L"Website",  // Website
        L"WAIT",  // StateWait
        L"files",  // FilesUnit
        L"left",  // LeftUnit
        L"Downloading",  // Downloading
        L"Checking",  // Checking
        L"Quorvel Team",  // TeamName
        L"Staff",  // Staff
        L"Close the game to change settings",  // CloseGameForSettings
        L"Language",  // LanguageLabel
        L"Online",  // ServerOnline
        L"Offline",  // ServerOffline
        L"Maintenance",  // ServerMaintenance
        L"Checking server...",  // ServerChecking
        L"1 player",  // OnePlayer
        L"%d players",  // PlayersFormat
        L"The server is under maintenance.",  // MaintenanceText
        L"Back in",  // BackIn
        L"Pause",  // PauseButton
        L"Resume",  // ResumeButton
        L"PAUSED",  // StatePaused
        L"The download will continue where it stopped.",  // PausedHint
    }},
    {"tr", {
        L"Connecting to patch server...",  // PatchConnecting
        L"Verifying signature...",  // PatchVerifying
        L"CHECKING",  // StateChecking
        L"UPDATING",  // StateUpdating
        L"Applying changes...",  // PatchApplying
        L"Updating launcher...",  // PatchSelfUpdate
        L"READY TO PLAY",  // StateReady
        L"Client up to date",  // PatchUpToDate
        L"ERROR",  // StateError
        L"PLAY",  // PlayButton
        L"UPDATING",  // PlayButtonUpdating
        L"RETRY",  // RetryButton
        L"Repair",  // RepairButton
        L"NEWS",  // NewsHeader
        L"No news.",  // NoNews
        L"File",  // FileLabel
        L"Total",  // TotalLabel
        L"Yama sunucusuna bağlanılamadı.",  // ErrConnect
        L"Geçersiz yama imzası. İndirme reddedildi.",  // ErrSignature
        L"Geçersiz yama bildirimi.",  // ErrManifest
        L"Sunucu, yüklü olandan daha eski bir sürüm gönderdi.",  // ErrOlderVersion
        L"Genel anahtar yapılandırılmamış (public_key).",  // ErrNoPublicKey
        L"Dosya yazılamadı:",  // ErrWriteFile
        L"İndirmeden sonra dosya bozuk:",  // ErrCorruptFile
        L"Game executable not found.",  // ErrNoGameExe
        L"Dosya kullanımda - oyunu kapatıp tekrar dene:",  // ErrFileInUse
        L"Version",  // VersionLabel
        L"Offline mode",  // OfflineMode
        L"Home",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Support",  // LinkSupport
        L"Rules",  // LinkRules
        L"Register",  // LinkRegister
        L"All news",  // AllNews
        L"All",  // FilterAll
        L"Events",  // FilterEvents
        L"News",  // FilterNews
        L"Updates",  // FilterUpdates
        L"EVENT",  // TagEvent
        L"NEWS",  // TagNews
        L"UPDATE",  // TagUpdate
        L"Read more",  // ReadMore
        L"Back",  // BackButton
        L"View post",  // ViewPost
        L"SETTINGS",  // SettingsHeader
        L"Resolution",  // Resolution
        L"Window mode",  // WindowMode
        L"Play in a window instead of fullscreen",  // WindowModeHint
        L"Music",  // Music
        L"Effects",  // Effects
        L"Off",  // Off
        L"Advanced settings",  // AdvancedSettings
        L"Repair files",  // RepairFiles
        L"Website",  // Website
        L"WAIT",  // StateWait
        L"files",  // FilesUnit
        L"left",  // LeftUnit
        L"Downloading",  // Downloading
        L"Checking",  // Checking
        L"Quorvel Team",  // TeamName
        L"Staff",  // Staff
        L"Close the game to change settings",  // CloseGameForSettings
        L"Language",  // LanguageLabel
        L"Online",  // ServerOnline
        L"Offline",  // ServerOffline
        L"Maintenance",  // ServerMaintenance
        L"Checking server...",  // ServerChecking
        L"1 player",  // OnePlayer
        L"%d players",  // PlayersFormat
        L"The server is under maintenance.",  // MaintenanceText
        L"Back in",  // BackIn
        L"Pause",  // PauseButton
        L"Resume",  // ResumeButton
        L"PAUSED",  // StatePaused
        L"The download will continue where it stopped.",  // PausedHint
    }},
    {"gr", {
        L"Connecting to patch server...",  // PatchConnecting
        L"Verifying signature...",  // PatchVerifying
        L"CHECKING",  // StateChecking
        L"UPDATING",  // StateUpdating
        L"Applying changes...",  // PatchApplying
        L"Updating launcher...",  // PatchSelfUpdate
        L"READY TO PLAY",  // StateReady
        L"Client up to date",  // PatchUpToDate
        L"ERROR",  // StateError
        L"PLAY",  // PlayButton
        L"UPDATING",  // PlayButtonUpdating
        L"RETRY",  // RetryButton
        L"Repair",  // RepairButton
        L"NEWS",  // NewsHeader
        L"No news.",  // NoNews
        L"File",  // FileLabel
        L"Total",  // TotalLabel
        L"Αδυναμία σύνδεσης στον διακομιστή ενημερώσεων.",  // ErrConnect
        L"Μη έγκυρη υπογραφή ενημέρωσης. Η λήψη απορρίφθηκε.",  // ErrSignature
        L"Μη έγκυρο manifest ενημέρωσης.",  // ErrManifest
        L"Ο διακομιστής έστειλε παλαιότερη έκδοση από την εγκατεστημένη.",  // ErrOlderVersion
        L"Το δημόσιο κλειδί δεν έχει ρυθμιστεί (public_key).",  // ErrNoPublicKey
        L"Αδυναμία εγγραφής αρχείου:",  // ErrWriteFile
        L"Κατεστραμμένο αρχείο μετά τη λήψη:",  // ErrCorruptFile
        L"Game executable not found.",  // ErrNoGameExe
        L"Το αρχείο χρησιμοποιείται - κλείσε το παιχνίδι και δοκίμασε ξανά:",  // ErrFileInUse
        L"Version",  // VersionLabel
        L"Offline mode",  // OfflineMode
        L"Home",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Support",  // LinkSupport
        L"Rules",  // LinkRules
        L"Register",  // LinkRegister
        L"All news",  // AllNews
        L"All",  // FilterAll
        L"Events",  // FilterEvents
        L"News",  // FilterNews
        L"Updates",  // FilterUpdates
        L"EVENT",  // TagEvent
        L"NEWS",  // TagNews
        L"UPDATE",  // TagUpdate
        L"Read more",  // ReadMore
        L"Back",  // BackButton
        L"View post",  // ViewPost
        L"SETTINGS",  // SettingsHeader
        L"Resolution",  // Resolution
        L"Window mode",  // WindowMode
        L"Play in a window instead of fullscreen",  // WindowModeHint
        L"Music",  // Music
        L"Effects",  // Effects
        L"Off",  // Off
        L"Advanced settings",  // AdvancedSettings
        L"Repair files",  // RepairFiles
        L"Website",  // Website
        L"WAIT",  // StateWait
        L"files",  // FilesUnit
        L"left",  // LeftUnit
        L"Downloading",  // Downloading
        L"Checking",  // Checking
        L"Quorvel Team",  // TeamName
        L"Staff",  // Staff
        L"Close the game to change settings",  // CloseGameForSettings
        L"Language",  // LanguageLabel
        L"Online",  // ServerOnline
        L"Offline",  // ServerOffline
        L"Maintenance",  // ServerMaintenance
        L"Checking server...",  // ServerChecking
        L"1 player",  // OnePlayer
        L"%d players",  // PlayersFormat
        L"The server is under maintenance.",  // MaintenanceText
        L"Back in",  // BackIn
        L"Pause",  // PauseButton
        L"Resume",  // ResumeButton
        L"PAUSED",  // StatePaused
        L"The download will continue where it stopped.",  // PausedHint
    }},
};
