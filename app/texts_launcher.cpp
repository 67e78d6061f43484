// The patch engine's texts, shared with the game launcher, in LauncherText order.
#include "app/languages.h"

// Unsized, so that a language too many or too few conflicts with the declaration.
const LauncherLanguage g_launcherLanguages[] = {
    LauncherLanguageEntry("pt", {
        L"A ligar ao servidor de patch...",  // PatchConnecting
        L"A verificar a assinatura...",  // PatchVerifying
        L"A VERIFICAR",  // StateChecking
        L"A ATUALIZAR",  // StateUpdating
        L"A aplicar as alterações...",  // PatchApplying
        L"A atualizar o launcher...",  // PatchSelfUpdate
        L"PRONTO A JOGAR",  // StateReady
        L"Cliente atualizado",  // PatchUpToDate
        L"ERRO",  // StateError
        L"JOGAR",  // PlayButton
        L"A ATUALIZAR",  // PlayButtonUpdating
        L"TENTAR DE NOVO",  // RetryButton
        L"Reparar",  // RepairButton
        L"NOTÍCIAS",  // NewsHeader
        L"Sem notícias.",  // NoNews
        L"Ficheiro",  // FileLabel
        L"Total",  // TotalLabel
        L"Não foi possível ligar ao servidor de patch.",  // ErrConnect
        L"Assinatura do patch inválida. Download recusado.",  // ErrSignature
        L"Manifesto do patch inválido.",  // ErrManifest
        L"O servidor enviou uma versão mais antiga do que a instalada.",  // ErrOlderVersion
        L"Chave pública não configurada (public_key).",  // ErrNoPublicKey
        L"Não foi possível escrever o ficheiro:",  // ErrWriteFile
        L"Ficheiro corrompido após download:",  // ErrCorruptFile
        L"Executável do jogo não encontrado.",  // ErrNoGameExe
        L"Ficheiro em uso - fecha o jogo e tenta de novo:",  // ErrFileInUse
        L"Versão",  // VersionLabel
        L"Modo sem ligação",  // OfflineMode
        L"Início",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Suporte",  // LinkSupport
        L"Regras",  // LinkRules
        L"Registar",  // LinkRegister
        L"Todas as notícias",  // AllNews
        L"Todas",  // FilterAll
        L"Eventos",  // FilterEvents
        L"Notícias",  // FilterNews
        L"Atualizações",  // FilterUpdates
        L"EVENTO",  // TagEvent
        L"NOTÍCIA",  // TagNews
        L"ATUALIZAÇÃO",  // TagUpdate
        L"Ler mais",  // ReadMore
        L"Voltar",  // BackButton
        L"Ver publicação",  // ViewPost
        L"DEFINIÇÕES",  // SettingsHeader
        L"Resolução",  // Resolution
        L"Modo de janela",  // WindowMode
        L"Jogar numa janela em vez de ecrã inteiro",  // WindowModeHint
        L"Música",  // Music
        L"Efeitos",  // Effects
        L"Desligado",  // Off
        L"Definições avançadas",  // AdvancedSettings
        L"Reparar ficheiros",  // RepairFiles
        L"Site",  // Website
        L"AGUARDA",  // StateWait
        L"ficheiros",  // FilesUnit
        L"restantes",  // LeftUnit
        L"A descarregar",  // Downloading
        L"A verificar",  // Checking
        L"Equipa Quorvel",  // TeamName
        L"Equipa",  // Staff
        L"Fecha o jogo para alterar as definições",  // CloseGameForSettings
        L"Língua",  // LanguageLabel
        L"Disponível",  // ServerOnline
        L"Indisponível",  // ServerOffline
        L"Manutenção",  // ServerMaintenance
        L"A verificar o servidor...",  // ServerChecking
        L"1 jogador",  // OnePlayer
        L"%d jogadores",  // PlayersFormat
        L"O servidor está em manutenção.",  // MaintenanceText
        L"Volta dentro de",  // BackIn
        L"Pausa",  // PauseButton
        L"Retomar",  // ResumeButton
        L"EM PAUSA",  // StatePaused
        L"A transferência vai continuar onde parou.",  // PausedHint
        L"A versão do servidor de patch expirou. Verifica o relógio do computador e tenta mais tarde.",  // ErrExpired
    }),
    LauncherLanguageEntry("en", {
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
        L"The patch server's release has expired. Check your computer's clock and try again later.",  // ErrExpired
    }),
    LauncherLanguageEntry("es", {
        L"Conectando con el servidor de parches...",  // PatchConnecting
        L"Verificando la firma...",  // PatchVerifying
        L"COMPROBANDO",  // StateChecking
        L"ACTUALIZANDO",  // StateUpdating
        L"Aplicando los cambios...",  // PatchApplying
        L"Actualizando el lanzador...",  // PatchSelfUpdate
        L"LISTO PARA JUGAR",  // StateReady
        L"Cliente actualizado",  // PatchUpToDate
        L"ERROR",  // StateError
        L"JUGAR",  // PlayButton
        L"ACTUALIZANDO",  // PlayButtonUpdating
        L"REINTENTAR",  // RetryButton
        L"Reparar",  // RepairButton
        L"NOTICIAS",  // NewsHeader
        L"No hay noticias.",  // NoNews
        L"Archivo",  // FileLabel
        L"Total",  // TotalLabel
        L"No se pudo conectar con el servidor de parches.",  // ErrConnect
        L"Firma del parche no válida. Descarga rechazada.",  // ErrSignature
        L"Manifiesto del parche no válido.",  // ErrManifest
        L"El servidor envió una versión más antigua que la instalada.",  // ErrOlderVersion
        L"Clave pública no configurada (public_key).",  // ErrNoPublicKey
        L"No se pudo escribir el archivo:",  // ErrWriteFile
        L"Archivo dañado tras la descarga:",  // ErrCorruptFile
        L"No se encontró el ejecutable del juego.",  // ErrNoGameExe
        L"Archivo en uso - cierra el juego e inténtalo de nuevo:",  // ErrFileInUse
        L"Versión",  // VersionLabel
        L"Modo sin conexión",  // OfflineMode
        L"Inicio",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Soporte",  // LinkSupport
        L"Normas",  // LinkRules
        L"Registrarse",  // LinkRegister
        L"Todas las noticias",  // AllNews
        L"Todo",  // FilterAll
        L"Eventos",  // FilterEvents
        L"Noticias",  // FilterNews
        L"Actualizaciones",  // FilterUpdates
        L"EVENTO",  // TagEvent
        L"NOTICIA",  // TagNews
        L"ACTUALIZACIÓN",  // TagUpdate
        L"Leer más",  // ReadMore
        L"Volver",  // BackButton
        L"Ver publicación",  // ViewPost
        L"AJUSTES",  // SettingsHeader
        L"Resolución",  // Resolution
        L"Modo ventana",  // WindowMode
        L"Jugar en una ventana en lugar de pantalla completa",  // WindowModeHint
        L"Música",  // Music
        L"Efectos",  // Effects
        L"Desactivado",  // Off
        L"Ajustes avanzados",  // AdvancedSettings
        L"Reparar archivos",  // RepairFiles
        L"Sitio web",  // Website
        L"ESPERA",  // StateWait
        L"archivos",  // FilesUnit
        L"restantes",  // LeftUnit
        L"Descargando",  // Downloading
        L"Comprobando",  // Checking
        L"Equipo de Quorvel",  // TeamName
        L"Equipo",  // Staff
        L"Cierra el juego para cambiar los ajustes",  // CloseGameForSettings
        L"Idioma",  // LanguageLabel
        L"En línea",  // ServerOnline
        L"Fuera de línea",  // ServerOffline
        L"Mantenimiento",  // ServerMaintenance
        L"Comprobando el servidor...",  // ServerChecking
        L"1 jugador",  // OnePlayer
        L"%d jugadores",  // PlayersFormat
        L"El servidor está en mantenimiento.",  // MaintenanceText
        L"Vuelve en",  // BackIn
        L"Pausa",  // PauseButton
        L"Reanudar",  // ResumeButton
        L"EN PAUSA",  // StatePaused
        L"La descarga continuará donde se detuvo.",  // PausedHint
        L"La versión del servidor ha caducado. Revisa el reloj del ordenador e inténtalo más tarde.",  // ErrExpired
    }),
    LauncherLanguageEntry("fr", {
        L"Connexion au serveur de mise à jour...",  // PatchConnecting
        L"Vérification de la signature...",  // PatchVerifying
        L"VÉRIFICATION",  // StateChecking
        L"MISE À JOUR",  // StateUpdating
        L"Application des modifications...",  // PatchApplying
        L"Mise à jour du lanceur...",  // PatchSelfUpdate
        L"PRÊT À JOUER",  // StateReady
        L"Client à jour",  // PatchUpToDate
        L"ERREUR",  // StateError
        L"JOUER",  // PlayButton
        L"MISE À JOUR",  // PlayButtonUpdating
        L"RÉESSAYER",  // RetryButton
        L"Réparer",  // RepairButton
        L"ACTUALITÉS",  // NewsHeader
        L"Aucune actualité.",  // NoNews
        L"Fichier",  // FileLabel
        L"Total",  // TotalLabel
        L"Impossible de se connecter au serveur de mise à jour.",  // ErrConnect
        L"Signature du patch invalide. Téléchargement refusé.",  // ErrSignature
        L"Manifeste du patch invalide.",  // ErrManifest
        L"Le serveur a envoyé une version plus ancienne que celle installée.",  // ErrOlderVersion
        L"Clé publique non configurée (public_key).",  // ErrNoPublicKey
        L"Impossible d'écrire le fichier :",  // ErrWriteFile
        L"Fichier corrompu après téléchargement :",  // ErrCorruptFile
        L"Exécutable du jeu introuvable.",  // ErrNoGameExe
        L"Fichier en cours d'utilisation - ferme le jeu et réessaie :",  // ErrFileInUse
        L"Version",  // VersionLabel
        L"Mode hors ligne",  // OfflineMode
        L"Accueil",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Assistance",  // LinkSupport
        L"Règles",  // LinkRules
        L"S'inscrire",  // LinkRegister
        L"Toutes les actualités",  // AllNews
        L"Tout",  // FilterAll
        L"Événements",  // FilterEvents
        L"Actualités",  // FilterNews
        L"Mises à jour",  // FilterUpdates
        L"ÉVÉNEMENT",  // TagEvent
        L"ACTUALITÉ",  // TagNews
        L"MISE À JOUR",  // TagUpdate
        L"Lire la suite",  // ReadMore
        L"Retour",  // BackButton
        L"Voir la publication",  // ViewPost
        L"RÉGLAGES",  // SettingsHeader
        L"Résolution",  // Resolution
        L"Mode fenêtré",  // WindowMode
        L"Jouer dans une fenêtre plutôt qu'en plein écran",  // WindowModeHint
        L"Musique",  // Music
        L"Effets",  // Effects
        L"Désactivé",  // Off
        L"Réglages avancés",  // AdvancedSettings
        L"Réparer les fichiers",  // RepairFiles
        L"Site web",  // Website
        L"PATIENTEZ",  // StateWait
        L"fichiers",  // FilesUnit
        L"restants",  // LeftUnit
        L"Téléchargement",  // Downloading
        L"Vérification",  // Checking
        L"L'équipe Quorvel",  // TeamName
        L"Équipe",  // Staff
        L"Ferme le jeu pour modifier les réglages",  // CloseGameForSettings
        L"Langue",  // LanguageLabel
        L"En ligne",  // ServerOnline
        L"Hors ligne",  // ServerOffline
        L"Maintenance",  // ServerMaintenance
        L"Vérification du serveur...",  // ServerChecking
        L"1 joueur",  // OnePlayer
        L"%d joueurs",  // PlayersFormat
        L"Le serveur est en maintenance.",  // MaintenanceText
        L"Retour dans",  // BackIn
        L"Pause",  // PauseButton
        L"Reprendre",  // ResumeButton
        L"EN PAUSE",  // StatePaused
        L"Le téléchargement reprendra là où il s'est arrêté.",  // PausedHint
        L"La version du serveur a expiré. Vérifie l'horloge de ton ordinateur et réessaie plus tard.",  // ErrExpired
    }),
    LauncherLanguageEntry("de", {
        L"Verbindung zum Patch-Server...",  // PatchConnecting
        L"Signatur wird geprüft...",  // PatchVerifying
        L"PRÜFUNG",  // StateChecking
        L"AKTUALISIERUNG",  // StateUpdating
        L"Änderungen werden übernommen...",  // PatchApplying
        L"Launcher wird aktualisiert...",  // PatchSelfUpdate
        L"BEREIT ZUM SPIELEN",  // StateReady
        L"Client ist aktuell",  // PatchUpToDate
        L"FEHLER",  // StateError
        L"SPIELEN",  // PlayButton
        L"AKTUALISIERUNG",  // PlayButtonUpdating
        L"ERNEUT VERSUCHEN",  // RetryButton
        L"Reparieren",  // RepairButton
        L"NEUIGKEITEN",  // NewsHeader
        L"Keine Neuigkeiten.",  // NoNews
        L"Datei",  // FileLabel
        L"Gesamt",  // TotalLabel
        L"Keine Verbindung zum Patch-Server möglich.",  // ErrConnect
        L"Ungültige Patch-Signatur. Download abgelehnt.",  // ErrSignature
        L"Ungültiges Patch-Manifest.",  // ErrManifest
        L"Der Server hat eine ältere Version als die installierte gesendet.",  // ErrOlderVersion
        L"Öffentlicher Schlüssel nicht konfiguriert (public_key).",  // ErrNoPublicKey
        L"Datei konnte nicht geschrieben werden:",  // ErrWriteFile
        L"Datei nach dem Download beschädigt:",  // ErrCorruptFile
        L"Ausführbare Spieldatei nicht gefunden.",  // ErrNoGameExe
        L"Datei wird verwendet - schließe das Spiel und versuche es erneut:",  // ErrFileInUse
        L"Version",  // VersionLabel
        L"Offline-Modus",  // OfflineMode
        L"Startseite",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Hilfe",  // LinkSupport
        L"Regeln",  // LinkRules
        L"Registrieren",  // LinkRegister
        L"Alle Neuigkeiten",  // AllNews
        L"Alle",  // FilterAll
        L"Ereignisse",  // FilterEvents
        L"Neuigkeiten",  // FilterNews
        L"Aktualisierungen",  // FilterUpdates
        L"EREIGNIS",  // TagEvent
        L"NEUIGKEIT",  // TagNews
        L"AKTUALISIERUNG",  // TagUpdate
        L"Weiterlesen",  // ReadMore
        L"Zurück",  // BackButton
        L"Beitrag ansehen",  // ViewPost
        L"EINSTELLUNGEN",  // SettingsHeader
        L"Auflösung",  // Resolution
        L"Fenstermodus",  // WindowMode
        L"Im Fenster statt im Vollbild spielen",  // WindowModeHint
        L"Musik",  // Music
        L"Effekte",  // Effects
        L"Aus",  // Off
        L"Erweiterte Einstellungen",  // AdvancedSettings
        L"Dateien reparieren",  // RepairFiles
        L"Webseite",  // Website
        L"BITTE WARTEN",  // StateWait
        L"Dateien",  // FilesUnit
        L"übrig",  // LeftUnit
        L"Wird heruntergeladen",  // Downloading
        L"Wird geprüft",  // Checking
        L"Das Quorvel-Team",  // TeamName
        L"Team",  // Staff
        L"Schließe das Spiel, um die Einstellungen zu ändern",  // CloseGameForSettings
        L"Sprache",  // LanguageLabel
        L"Erreichbar",  // ServerOnline
        L"Nicht erreichbar",  // ServerOffline
        L"Wartung",  // ServerMaintenance
        L"Server wird geprüft...",  // ServerChecking
        L"1 Spieler",  // OnePlayer
        L"%d Spieler",  // PlayersFormat
        L"Der Server wird gerade gewartet.",  // MaintenanceText
        L"Zurück in",  // BackIn
        L"Pause",  // PauseButton
        L"Fortsetzen",  // ResumeButton
        L"PAUSIERT",  // StatePaused
        L"Der Download wird dort fortgesetzt, wo er angehalten wurde.",  // PausedHint
        L"Die Serverversion ist abgelaufen. Prüfe die Uhrzeit deines Computers und versuche es später.",  // ErrExpired
    }),
    LauncherLanguageEntry("it", {
        L"Connessione al server delle patch...",  // PatchConnecting
        L"Verifica della firma...",  // PatchVerifying
        L"VERIFICA",  // StateChecking
        L"AGGIORNAMENTO",  // StateUpdating
        L"Applicazione delle modifiche...",  // PatchApplying
        L"Aggiornamento del launcher...",  // PatchSelfUpdate
        L"PRONTO PER GIOCARE",  // StateReady
        L"Client aggiornato",  // PatchUpToDate
        L"ERRORE",  // StateError
        L"GIOCA",  // PlayButton
        L"AGGIORNAMENTO",  // PlayButtonUpdating
        L"RIPROVA",  // RetryButton
        L"Ripara",  // RepairButton
        L"NOTIZIE",  // NewsHeader
        L"Nessuna notizia.",  // NoNews
        L"File",  // FileLabel
        L"Totale",  // TotalLabel
        L"Impossibile connettersi al server delle patch.",  // ErrConnect
        L"Firma della patch non valida. Download rifiutato.",  // ErrSignature
        L"Manifesto della patch non valido.",  // ErrManifest
        L"Il server ha inviato una versione più vecchia di quella installata.",  // ErrOlderVersion
        L"Chiave pubblica non configurata (public_key).",  // ErrNoPublicKey
        L"Impossibile scrivere il file:",  // ErrWriteFile
        L"File danneggiato dopo il download:",  // ErrCorruptFile
        L"Eseguibile del gioco non trovato.",  // ErrNoGameExe
        L"File in uso - chiudi il gioco e riprova:",  // ErrFileInUse
        L"Versione",  // VersionLabel
        L"Modalità offline",  // OfflineMode
        L"Pagina iniziale",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Assistenza",  // LinkSupport
        L"Regole",  // LinkRules
        L"Registrati",  // LinkRegister
        L"Tutte le notizie",  // AllNews
        L"Tutte",  // FilterAll
        L"Eventi",  // FilterEvents
        L"Notizie",  // FilterNews
        L"Aggiornamenti",  // FilterUpdates
        L"EVENTO",  // TagEvent
        L"NOTIZIA",  // TagNews
        L"AGGIORNAMENTO",  // TagUpdate
        L"Leggi di più",  // ReadMore
        L"Indietro",  // BackButton
        L"Vedi il post",  // ViewPost
        L"IMPOSTAZIONI",  // SettingsHeader
        L"Risoluzione",  // Resolution
        L"Modalità finestra",  // WindowMode
        L"Gioca in una finestra invece che a schermo intero",  // WindowModeHint
        L"Musica",  // Music
        L"Effetti",  // Effects
        L"Disattivato",  // Off
        L"Impostazioni avanzate",  // AdvancedSettings
        L"Ripara i file",  // RepairFiles
        L"Sito web",  // Website
        L"ATTENDI",  // StateWait
        L"file",  // FilesUnit
        L"rimanenti",  // LeftUnit
        L"Download in corso",  // Downloading
        L"Verifica in corso",  // Checking
        L"Il team di Quorvel",  // TeamName
        L"Amministrazione",  // Staff
        L"Chiudi il gioco per modificare le impostazioni",  // CloseGameForSettings
        L"Lingua",  // LanguageLabel
        L"In linea",  // ServerOnline
        L"Non in linea",  // ServerOffline
        L"Manutenzione",  // ServerMaintenance
        L"Verifica del server...",  // ServerChecking
        L"1 giocatore",  // OnePlayer
        L"%d giocatori",  // PlayersFormat
        L"Il server è in manutenzione.",  // MaintenanceText
        L"Di nuovo attivo tra",  // BackIn
        L"Pausa",  // PauseButton
        L"Riprendi",  // ResumeButton
        L"IN PAUSA",  // StatePaused
        L"Il download riprenderà da dove si è interrotto.",  // PausedHint
        L"La versione del server è scaduta. Controlla l'orologio del computer e riprova più tardi.",  // ErrExpired
    }),
    LauncherLanguageEntry("ro", {
        L"Conectare la serverul de patch...",  // PatchConnecting
        L"Se verifică semnătura...",  // PatchVerifying
        L"VERIFICARE",  // StateChecking
        L"ACTUALIZARE",  // StateUpdating
        L"Se aplică modificările...",  // PatchApplying
        L"Se actualizează launcherul...",  // PatchSelfUpdate
        L"GATA DE JOC",  // StateReady
        L"Clientul este actualizat",  // PatchUpToDate
        L"EROARE",  // StateError
        L"JOACĂ",  // PlayButton
        L"ACTUALIZARE",  // PlayButtonUpdating
        L"REÎNCEARCĂ",  // RetryButton
        L"Repară",  // RepairButton
        L"NOUTĂȚI",  // NewsHeader
        L"Nicio noutate.",  // NoNews
        L"Fișier",  // FileLabel
        L"Total",  // TotalLabel
        L"Nu s-a putut conecta la serverul de patch.",  // ErrConnect
        L"Semnătura patch-ului este invalidă. Descărcare refuzată.",  // ErrSignature
        L"Manifestul patch-ului este invalid.",  // ErrManifest
        L"Serverul a trimis o versiune mai veche decât cea instalată.",  // ErrOlderVersion
        L"Cheia publică nu este configurată (public_key).",  // ErrNoPublicKey
        L"Fișierul nu a putut fi scris:",  // ErrWriteFile
        L"Fișier corupt după descărcare:",  // ErrCorruptFile
        L"Executabilul jocului nu a fost găsit.",  // ErrNoGameExe
        L"Fișier în uz - închide jocul și încearcă din nou:",  // ErrFileInUse
        L"Versiune",  // VersionLabel
        L"Mod offline",  // OfflineMode
        L"Acasă",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Asistență",  // LinkSupport
        L"Reguli",  // LinkRules
        L"Înregistrare",  // LinkRegister
        L"Toate noutățile",  // AllNews
        L"Toate",  // FilterAll
        L"Evenimente",  // FilterEvents
        L"Noutăți",  // FilterNews
        L"Actualizări",  // FilterUpdates
        L"EVENIMENT",  // TagEvent
        L"NOUTATE",  // TagNews
        L"ACTUALIZARE",  // TagUpdate
        L"Citește mai mult",  // ReadMore
        L"Înapoi",  // BackButton
        L"Vezi postarea",  // ViewPost
        L"SETĂRI",  // SettingsHeader
        L"Rezoluție",  // Resolution
        L"Mod fereastră",  // WindowMode
        L"Joacă într-o fereastră în loc de ecran complet",  // WindowModeHint
        L"Muzică",  // Music
        L"Efecte",  // Effects
        L"Oprit",  // Off
        L"Setări avansate",  // AdvancedSettings
        L"Repară fișierele",  // RepairFiles
        L"Site web",  // Website
        L"AȘTEAPTĂ",  // StateWait
        L"fișiere",  // FilesUnit
        L"rămase",  // LeftUnit
        L"Se descarcă",  // Downloading
        L"Se verifică",  // Checking
        L"Echipa Quorvel",  // TeamName
        L"Echipa",  // Staff
        L"Închide jocul pentru a schimba setările",  // CloseGameForSettings
        L"Limba",  // LanguageLabel
        L"Activ",  // ServerOnline
        L"Inactiv",  // ServerOffline
        L"Mentenanță",  // ServerMaintenance
        L"Se verifică serverul...",  // ServerChecking
        L"1 jucător",  // OnePlayer
        L"%d jucători",  // PlayersFormat
        L"Serverul este în mentenanță.",  // MaintenanceText
        L"Revine în",  // BackIn
        L"Pauză",  // PauseButton
        L"Continuă",  // ResumeButton
        L"ÎN PAUZĂ",  // StatePaused
        L"Descărcarea va continua de unde s-a oprit.",  // PausedHint
        L"Versiunea de pe server a expirat. Verifică ceasul calculatorului și încearcă mai târziu.",  // ErrExpired
    }),
    LauncherLanguageEntry("pl", {
        L"Łączenie z serwerem aktualizacji...",  // PatchConnecting
        L"Weryfikacja podpisu...",  // PatchVerifying
        L"SPRAWDZANIE",  // StateChecking
        L"AKTUALIZACJA",  // StateUpdating
        L"Wprowadzanie zmian...",  // PatchApplying
        L"Aktualizacja launchera...",  // PatchSelfUpdate
        L"GOTOWE DO GRY",  // StateReady
        L"Klient jest aktualny",  // PatchUpToDate
        L"BŁĄD",  // StateError
        L"GRAJ",  // PlayButton
        L"AKTUALIZACJA",  // PlayButtonUpdating
        L"PONÓW",  // RetryButton
        L"Napraw",  // RepairButton
        L"AKTUALNOŚCI",  // NewsHeader
        L"Brak aktualności.",  // NoNews
        L"Plik",  // FileLabel
        L"Łącznie",  // TotalLabel
        L"Nie można połączyć się z serwerem aktualizacji.",  // ErrConnect
        L"Nieprawidłowy podpis aktualizacji. Pobieranie odrzucone.",  // ErrSignature
        L"Nieprawidłowy manifest aktualizacji.",  // ErrManifest
        L"Serwer wysłał starszą wersję niż zainstalowana.",  // ErrOlderVersion
        L"Klucz publiczny nie jest skonfigurowany (public_key).",  // ErrNoPublicKey
        L"Nie można zapisać pliku:",  // ErrWriteFile
        L"Plik uszkodzony po pobraniu:",  // ErrCorruptFile
        L"Nie znaleziono pliku wykonywalnego gry.",  // ErrNoGameExe
        L"Plik w użyciu - zamknij grę i spróbuj ponownie:",  // ErrFileInUse
        L"Wersja",  // VersionLabel
        L"Tryb offline",  // OfflineMode
        L"Strona główna",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Pomoc",  // LinkSupport
        L"Regulamin",  // LinkRules
        L"Rejestracja",  // LinkRegister
        L"Wszystkie aktualności",  // AllNews
        L"Wszystkie",  // FilterAll
        L"Wydarzenia",  // FilterEvents
        L"Aktualności",  // FilterNews
        L"Aktualizacje",  // FilterUpdates
        L"WYDARZENIE",  // TagEvent
        L"AKTUALNOŚĆ",  // TagNews
        L"AKTUALIZACJA",  // TagUpdate
        L"Czytaj dalej",  // ReadMore
        L"Wstecz",  // BackButton
        L"Zobacz wpis",  // ViewPost
        L"USTAWIENIA",  // SettingsHeader
        L"Rozdzielczość",  // Resolution
        L"Tryb okienkowy",  // WindowMode
        L"Graj w oknie zamiast na pełnym ekranie",  // WindowModeHint
        L"Muzyka",  // Music
        L"Efekty",  // Effects
        L"Wyłączone",  // Off
        L"Ustawienia zaawansowane",  // AdvancedSettings
        L"Napraw pliki",  // RepairFiles
        L"Strona internetowa",  // Website
        L"CZEKAJ",  // StateWait
        L"plików",  // FilesUnit
        L"pozostało",  // LeftUnit
        L"Pobieranie",  // Downloading
        L"Sprawdzanie",  // Checking
        L"Zespół Quorvel",  // TeamName
        L"Ekipa",  // Staff
        L"Zamknij grę, aby zmienić ustawienia",  // CloseGameForSettings
        L"Język",  // LanguageLabel
        L"Dostępny",  // ServerOnline
        L"Niedostępny",  // ServerOffline
        L"Przerwa techniczna",  // ServerMaintenance
        L"Sprawdzanie serwera...",  // ServerChecking
        L"1 gracz",  // OnePlayer
        L"Graczy: %d",  // PlayersFormat
        L"Trwa przerwa techniczna serwera.",  // MaintenanceText
        L"Powrót za",  // BackIn
        L"Wstrzymaj",  // PauseButton
        L"Wznów",  // ResumeButton
        L"WSTRZYMANO",  // StatePaused
        L"Pobieranie zostanie wznowione od miejsca, w którym je przerwano.",  // PausedHint
        L"Ważność wydania na serwerze wygasła. Sprawdź zegar komputera i spróbuj później.",  // ErrExpired
    }),
    LauncherLanguageEntry("cz", {
        L"Připojování k aktualizačnímu serveru...",  // PatchConnecting
        L"Ověřování podpisu...",  // PatchVerifying
        L"KONTROLA",  // StateChecking
        L"AKTUALIZACE",  // StateUpdating
        L"Provádění změn...",  // PatchApplying
        L"Aktualizace spouštěče...",  // PatchSelfUpdate
        L"PŘIPRAVENO KE HŘE",  // StateReady
        L"Klient je aktuální",  // PatchUpToDate
        L"CHYBA",  // StateError
        L"HRÁT",  // PlayButton
        L"AKTUALIZACE",  // PlayButtonUpdating
        L"ZKUSIT ZNOVU",  // RetryButton
        L"Opravit",  // RepairButton
        L"NOVINKY",  // NewsHeader
        L"Žádné novinky.",  // NoNews
        L"Soubor",  // FileLabel
        L"Celkem",  // TotalLabel
        L"Nelze se připojit k aktualizačnímu serveru.",  // ErrConnect
        L"Neplatný podpis aktualizace. Stahování odmítnuto.",  // ErrSignature
        L"Neplatný manifest aktualizace.",  // ErrManifest
        L"Server poslal starší verzi, než je nainstalovaná.",  // ErrOlderVersion
        L"Veřejný klíč není nastaven (public_key).",  // ErrNoPublicKey
        L"Soubor nelze zapsat:",  // ErrWriteFile
        L"Soubor je po stažení poškozený:",  // ErrCorruptFile
        L"Spustitelný soubor hry nebyl nalezen.",  // ErrNoGameExe
        L"Soubor se používá - zavři hru a zkus to znovu:",  // ErrFileInUse
        L"Verze",  // VersionLabel
        L"Režim offline",  // OfflineMode
        L"Domů",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Podpora",  // LinkSupport
        L"Pravidla",  // LinkRules
        L"Registrace",  // LinkRegister
        L"Všechny novinky",  // AllNews
        L"Vše",  // FilterAll
        L"Události",  // FilterEvents
        L"Novinky",  // FilterNews
        L"Aktualizace",  // FilterUpdates
        L"UDÁLOST",  // TagEvent
        L"NOVINKA",  // TagNews
        L"AKTUALIZACE",  // TagUpdate
        L"Číst dále",  // ReadMore
        L"Zpět",  // BackButton
        L"Zobrazit příspěvek",  // ViewPost
        L"NASTAVENÍ",  // SettingsHeader
        L"Rozlišení",  // Resolution
        L"Režim okna",  // WindowMode
        L"Hrát v okně místo celé obrazovky",  // WindowModeHint
        L"Hudba",  // Music
        L"Efekty",  // Effects
        L"Vypnuto",  // Off
        L"Pokročilá nastavení",  // AdvancedSettings
        L"Opravit soubory",  // RepairFiles
        L"Webové stránky",  // Website
        L"ČEKEJ",  // StateWait
        L"souborů",  // FilesUnit
        L"zbývá",  // LeftUnit
        L"Stahování",  // Downloading
        L"Kontrola",  // Checking
        L"Tým Quorvel",  // TeamName
        L"Tým",  // Staff
        L"Pro změnu nastavení zavři hru",  // CloseGameForSettings
        L"Jazyk",  // LanguageLabel
        L"Dostupný",  // ServerOnline
        L"Nedostupný",  // ServerOffline
        L"Údržba",  // ServerMaintenance
        L"Kontrola serveru...",  // ServerChecking
        L"1 hráč",  // OnePlayer
        L"Hráčů: %d",  // PlayersFormat
        L"Na serveru probíhá údržba.",  // MaintenanceText
        L"Zpět za",  // BackIn
        L"Pozastavit",  // PauseButton
        L"Pokračovat",  // ResumeButton
        L"POZASTAVENO",  // StatePaused
        L"Stahování bude pokračovat tam, kde se zastavilo.",  // PausedHint
        L"Platnost vydání na serveru vypršela. Zkontroluj hodiny počítače a zkus to později.",  // ErrExpired
    }),
    LauncherLanguageEntry("hu", {
        L"Csatlakozás a frissítési szerverhez...",  // PatchConnecting
        L"Aláírás ellenőrzése...",  // PatchVerifying
        L"ELLENŐRZÉS",  // StateChecking
        L"FRISSÍTÉS",  // StateUpdating
        L"Módosítások alkalmazása...",  // PatchApplying
        L"Az indító frissítése...",  // PatchSelfUpdate
        L"JÁTÉKRA KÉSZ",  // StateReady
        L"A kliens naprakész",  // PatchUpToDate
        L"HIBA",  // StateError
        L"JÁTÉK",  // PlayButton
        L"FRISSÍTÉS",  // PlayButtonUpdating
        L"ÚJRA",  // RetryButton
        L"Javítás",  // RepairButton
        L"HÍREK",  // NewsHeader
        L"Nincsenek hírek.",  // NoNews
        L"Fájl",  // FileLabel
        L"Összesen",  // TotalLabel
        L"Nem sikerült csatlakozni a frissítési szerverhez.",  // ErrConnect
        L"Érvénytelen frissítési aláírás. Letöltés elutasítva.",  // ErrSignature
        L"Érvénytelen frissítési manifest.",  // ErrManifest
        L"A szerver régebbi verziót küldött, mint a telepített.",  // ErrOlderVersion
        L"A nyilvános kulcs nincs beállítva (public_key).",  // ErrNoPublicKey
        L"Nem sikerült írni a fájlt:",  // ErrWriteFile
        L"A fájl sérült a letöltés után:",  // ErrCorruptFile
        L"A játék futtatható fájlja nem található.",  // ErrNoGameExe
        L"A fájl használatban van - zárd be a játékot és próbáld újra:",  // ErrFileInUse
        L"Verzió",  // VersionLabel
        L"Offline mód",  // OfflineMode
        L"Főoldal",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Támogatás",  // LinkSupport
        L"Szabályzat",  // LinkRules
        L"Regisztráció",  // LinkRegister
        L"Összes hír",  // AllNews
        L"Összes",  // FilterAll
        L"Események",  // FilterEvents
        L"Hírek",  // FilterNews
        L"Frissítések",  // FilterUpdates
        L"ESEMÉNY",  // TagEvent
        L"HÍR",  // TagNews
        L"FRISSÍTÉS",  // TagUpdate
        L"Tovább olvasom",  // ReadMore
        L"Vissza",  // BackButton
        L"Bejegyzés megtekintése",  // ViewPost
        L"BEÁLLÍTÁSOK",  // SettingsHeader
        L"Felbontás",  // Resolution
        L"Ablakos mód",  // WindowMode
        L"Játék ablakban teljes képernyő helyett",  // WindowModeHint
        L"Zene",  // Music
        L"Effektek",  // Effects
        L"Ki",  // Off
        L"Speciális beállítások",  // AdvancedSettings
        L"Fájlok javítása",  // RepairFiles
        L"Weboldal",  // Website
        L"VÁRJ",  // StateWait
        L"fájl",  // FilesUnit
        L"van hátra",  // LeftUnit
        L"Letöltés",  // Downloading
        L"Ellenőrzés",  // Checking
        L"A Quorvel csapata",  // TeamName
        L"Csapat",  // Staff
        L"A beállítások módosításához zárd be a játékot",  // CloseGameForSettings
        L"Nyelv",  // LanguageLabel
        L"Elérhető",  // ServerOnline
        L"Nem elérhető",  // ServerOffline
        L"Karbantartás",  // ServerMaintenance
        L"Szerver ellenőrzése...",  // ServerChecking
        L"1 játékos",  // OnePlayer
        L"%d játékos",  // PlayersFormat
        L"A szerver karbantartás alatt áll.",  // MaintenanceText
        L"Újra elérhető:",  // BackIn
        L"Szünet",  // PauseButton
        L"Folytatás",  // ResumeButton
        L"SZÜNETEL",  // StatePaused
        L"A letöltés ott folytatódik, ahol abbamaradt.",  // PausedHint
        L"A szerveren lévő kiadás lejárt. Ellenőrizd a számítógép óráját, és próbáld újra később.",  // ErrExpired
    }),
    LauncherLanguageEntry("tr", {
        L"Yama sunucusuna bağlanılıyor...",  // PatchConnecting
        L"İmza doğrulanıyor...",  // PatchVerifying
        L"KONTROL EDİLİYOR",  // StateChecking
        L"GÜNCELLENİYOR",  // StateUpdating
        L"Değişiklikler uygulanıyor...",  // PatchApplying
        L"Başlatıcı güncelleniyor...",  // PatchSelfUpdate
        L"OYNAMAYA HAZIR",  // StateReady
        L"İstemci güncel",  // PatchUpToDate
        L"HATA",  // StateError
        L"OYNA",  // PlayButton
        L"GÜNCELLENİYOR",  // PlayButtonUpdating
        L"YENİDEN DENE",  // RetryButton
        L"Onar",  // RepairButton
        L"HABERLER",  // NewsHeader
        L"Haber yok.",  // NoNews
        L"Dosya",  // FileLabel
        L"Toplam",  // TotalLabel
        L"Yama sunucusuna bağlanılamadı.",  // ErrConnect
        L"Geçersiz yama imzası. İndirme reddedildi.",  // ErrSignature
        L"Geçersiz yama bildirimi.",  // ErrManifest
        L"Sunucu, yüklü olandan daha eski bir sürüm gönderdi.",  // ErrOlderVersion
        L"Genel anahtar yapılandırılmamış (public_key).",  // ErrNoPublicKey
        L"Dosya yazılamadı:",  // ErrWriteFile
        L"İndirmeden sonra dosya bozuk:",  // ErrCorruptFile
        L"Oyunun çalıştırılabilir dosyası bulunamadı.",  // ErrNoGameExe
        L"Dosya kullanımda - oyunu kapatıp tekrar dene:",  // ErrFileInUse
        L"Sürüm",  // VersionLabel
        L"Çevrimdışı mod",  // OfflineMode
        L"Ana sayfa",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Destek",  // LinkSupport
        L"Kurallar",  // LinkRules
        L"Kayıt ol",  // LinkRegister
        L"Tüm haberler",  // AllNews
        L"Tümü",  // FilterAll
        L"Etkinlikler",  // FilterEvents
        L"Haberler",  // FilterNews
        L"Güncellemeler",  // FilterUpdates
        L"ETKİNLİK",  // TagEvent
        L"HABER",  // TagNews
        L"GÜNCELLEME",  // TagUpdate
        L"Devamını oku",  // ReadMore
        L"Geri",  // BackButton
        L"Gönderiyi görüntüle",  // ViewPost
        L"AYARLAR",  // SettingsHeader
        L"Çözünürlük",  // Resolution
        L"Pencere modu",  // WindowMode
        L"Tam ekran yerine pencerede oyna",  // WindowModeHint
        L"Müzik",  // Music
        L"Efektler",  // Effects
        L"Kapalı",  // Off
        L"Gelişmiş ayarlar",  // AdvancedSettings
        L"Dosyaları onar",  // RepairFiles
        L"Web sitesi",  // Website
        L"BEKLE",  // StateWait
        L"dosya",  // FilesUnit
        L"kaldı",  // LeftUnit
        L"İndiriliyor",  // Downloading
        L"Kontrol ediliyor",  // Checking
        L"Quorvel Ekibi",  // TeamName
        L"Ekip",  // Staff
        L"Ayarları değiştirmek için oyunu kapat",  // CloseGameForSettings
        L"Dil",  // LanguageLabel
        L"Çevrimiçi",  // ServerOnline
        L"Çevrimdışı",  // ServerOffline
        L"Bakımda",  // ServerMaintenance
        L"Sunucu kontrol ediliyor...",  // ServerChecking
        L"1 oyuncu",  // OnePlayer
        L"%d oyuncu",  // PlayersFormat
        L"Sunucu bakımda.",  // MaintenanceText
        L"Açılışa kalan süre",  // BackIn
        L"Duraklat",  // PauseButton
        L"Devam et",  // ResumeButton
        L"DURAKLATILDI",  // StatePaused
        L"İndirme kaldığı yerden devam edecek.",  // PausedHint
        L"Sunucudaki sürümün süresi doldu. Bilgisayarın saatini kontrol et ve daha sonra tekrar dene.",  // ErrExpired
    }),
    LauncherLanguageEntry("gr", {
        L"Σύνδεση στον διακομιστή ενημερώσεων...",  // PatchConnecting
        L"Επαλήθευση υπογραφής...",  // PatchVerifying
        L"ΕΛΕΓΧΟΣ",  // StateChecking
        L"ΕΝΗΜΕΡΩΣΗ",  // StateUpdating
        L"Εφαρμογή αλλαγών...",  // PatchApplying
        L"Ενημέρωση του εκκινητή...",  // PatchSelfUpdate
        L"ΕΤΟΙΜΟ ΓΙΑ ΠΑΙΧΝΙΔΙ",  // StateReady
        L"Το πρόγραμμα-πελάτης είναι ενημερωμένο",  // PatchUpToDate
        L"ΣΦΑΛΜΑ",  // StateError
        L"ΠΑΙΞΕ",  // PlayButton
        L"ΕΝΗΜΕΡΩΣΗ",  // PlayButtonUpdating
        L"ΔΟΚΙΜΑΣΕ ΞΑΝΑ",  // RetryButton
        L"Επιδιόρθωση",  // RepairButton
        L"ΝΕΑ",  // NewsHeader
        L"Δεν υπάρχουν νέα.",  // NoNews
        L"Αρχείο",  // FileLabel
        L"Σύνολο",  // TotalLabel
        L"Αδυναμία σύνδεσης στον διακομιστή ενημερώσεων.",  // ErrConnect
        L"Μη έγκυρη υπογραφή ενημέρωσης. Η λήψη απορρίφθηκε.",  // ErrSignature
        L"Μη έγκυρο manifest ενημέρωσης.",  // ErrManifest
        L"Ο διακομιστής έστειλε παλαιότερη έκδοση από την εγκατεστημένη.",  // ErrOlderVersion
        L"Το δημόσιο κλειδί δεν έχει ρυθμιστεί (public_key).",  // ErrNoPublicKey
        L"Αδυναμία εγγραφής αρχείου:",  // ErrWriteFile
        L"Κατεστραμμένο αρχείο μετά τη λήψη:",  // ErrCorruptFile
        L"Δεν βρέθηκε το εκτελέσιμο του παιχνιδιού.",  // ErrNoGameExe
        L"Το αρχείο χρησιμοποιείται - κλείσε το παιχνίδι και δοκίμασε ξανά:",  // ErrFileInUse
        L"Έκδοση",  // VersionLabel
        L"Λειτουργία εκτός σύνδεσης",  // OfflineMode
        L"Αρχική",  // LinkHome
        L"Discord",  // LinkDiscord
        L"Υποστήριξη",  // LinkSupport
        L"Κανόνες",  // LinkRules
        L"Εγγραφή",  // LinkRegister
        L"Όλα τα νέα",  // AllNews
        L"Όλα",  // FilterAll
        L"Εκδηλώσεις",  // FilterEvents
        L"Νέα",  // FilterNews
        L"Ενημερώσεις",  // FilterUpdates
        L"ΕΚΔΗΛΩΣΗ",  // TagEvent
        L"ΝΕΑ",  // TagNews
        L"ΕΝΗΜΕΡΩΣΗ",  // TagUpdate
        L"Διάβασε περισσότερα",  // ReadMore
        L"Πίσω",  // BackButton
        L"Προβολή ανάρτησης",  // ViewPost
        L"ΡΥΘΜΙΣΕΙΣ",  // SettingsHeader
        L"Ανάλυση",  // Resolution
        L"Λειτουργία παραθύρου",  // WindowMode
        L"Παίξε σε παράθυρο αντί για πλήρη οθόνη",  // WindowModeHint
        L"Μουσική",  // Music
        L"Εφέ",  // Effects
        L"Ανενεργό",  // Off
        L"Ρυθμίσεις για προχωρημένους",  // AdvancedSettings
        L"Επιδιόρθωση αρχείων",  // RepairFiles
        L"Ιστότοπος",  // Website
        L"ΑΝΑΜΟΝΗ",  // StateWait
        L"αρχεία",  // FilesUnit
        L"απομένουν",  // LeftUnit
        L"Λήψη",  // Downloading
        L"Έλεγχος",  // Checking
        L"Η ομάδα του Quorvel",  // TeamName
        L"Ομάδα",  // Staff
        L"Κλείσε το παιχνίδι για να αλλάξεις τις ρυθμίσεις",  // CloseGameForSettings
        L"Γλώσσα",  // LanguageLabel
        L"Σε λειτουργία",  // ServerOnline
        L"Εκτός λειτουργίας",  // ServerOffline
        L"Συντήρηση",  // ServerMaintenance
        L"Έλεγχος διακομιστή...",  // ServerChecking
        L"1 παίκτης",  // OnePlayer
        L"%d παίκτες",  // PlayersFormat
        L"Ο διακομιστής βρίσκεται σε συντήρηση.",  // MaintenanceText
        L"Επιστροφή σε",  // BackIn
        L"Παύση",  // PauseButton
        L"Συνέχεια",  // ResumeButton
        L"ΣΕ ΠΑΥΣΗ",  // StatePaused
        L"Η λήψη θα συνεχιστεί από εκεί που σταμάτησε.",  // PausedHint
        L"Η έκδοση του διακομιστή έχει λήξει. Έλεγξε το ρολόι του υπολογιστή και δοκίμασε αργότερα.",  // ErrExpired
    }),
};
